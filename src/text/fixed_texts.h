// The program's fixed user-visible texts, as code page 936 bytes. Source
// files stay UTF-8; each text is written here once, as byte escapes with its
// readable form beside it, and the table at the end lets a test check every
// one against a conversion of its readable form.
#pragma once

#include <string_view>

namespace qn::texts {

// One text per line, with its readable form beside it.
// clang-format off
inline constexpr char OPENING_NOTICE[] = "\xd3\xd2\xbc\xfc\xb4\xf2\xbf\xaa\xcd\xf8\xd6\xb7";  // 右键打开网址
inline constexpr char PATTERN_FAILURE_NOTICE[] = "\xd5\xfd\xd4\xf2\xb4\xb4\xbd\xa8\xca\xa7\xb0\xdc\xa3\xac\xc7\xeb\xbc\xec\xb2\xe9\xd5\xfd\xd4\xf2\xb1\xed\xb4\xef\xca\xbd\xd3\xef\xbe\xe4\xca\xc7\xb7\xf1\xd3\xd0\xce\xf3\xa3\xa1";  // 正则创建失败，请检查正则表达式语句是否有误！
inline constexpr char NO_MATCH_NOTICE[] = "\xc6\xa5\xc5\xe4\xca\xa7\xb0\xdc\xa3\xac\xc7\xeb\xbc\xec\xbc\xec\xb2\xe9\xd5\xfd\xd4\xf2\xd3\xef\xbe\xe4\xca\xc7\xb7\xf1\xd3\xd0\xce\xf3\xa3\xac\xca\xfd\xc1\xbf\xa3\xba" "0";  // 匹配失败，请检检查正则语句是否有误，数量：0
inline constexpr char SKIPPED_TITLE_LOGIN[] = "<strong>\xb5\xc7\xc2\xbc</strong>";  // <strong>登录</strong>
inline constexpr char SKIPPED_TITLE_PINNED[] = "\xcf\xd4\xca\xbe\xd6\xc3\xb6\xa5";  // 显示置顶
inline constexpr char COLUMN_NUMBER[] = "\xd0\xf2\xba\xc5";  // 序号
inline constexpr char COLUMN_TITLE[] = "\xb1\xea\xcc\xe2";  // 标题
inline constexpr char COLUMN_LINK[] = "\xc1\xb4\xbd\xd3";  // 链接
inline constexpr char DEFAULT_NOTICE_TITLE[] = "\xd0\xc5\xcf\xa2\xa3\xba";  // 信息：
inline constexpr char MENU_OPEN[] = "\xb4\xf2\xbf\xaa";  // 打开
inline constexpr char CAPTION[] = "Quennick";  // Quennick
inline constexpr char QUOTE_TOKEN[] = "#\xd2\xfd\xba\xc5";  // #引号
inline constexpr char LIST_CONTROL_NAME[] = "\xb3\xac\xbc\xb6\xc1\xd0\xb1\xed\xbf\xf2" "1";  // 超级列表框1
inline constexpr char THREAD_PATTERN[] = "<a href=#\xd2\xfd\xba\xc5(.*?)#\xd2\xfd\xba\xc5 onclick=#\xd2\xfd\xba\xc5.*?#\xd2\xfd\xba\xc5 class=#\xd2\xfd\xba\xc5.*?#\xd2\xfd\xba\xc5>.*?</a>";  // <a href=#引号(.*?)#引号 onclick=#引号.*?#引号 class=#引号.*?#引号>.*?</a>
// clang-format on

// Each fixed text with its name and its readable (UTF-8) form.
struct FixedText {
    std::string_view name;
    std::string_view utf8;
    std::string_view cp936;
};

// clang-format off
inline constexpr FixedText readable[] = {
    {"OPENING_NOTICE", "右键打开网址", OPENING_NOTICE},
    {"PATTERN_FAILURE_NOTICE", "正则创建失败，请检查正则表达式语句是否有误！", PATTERN_FAILURE_NOTICE},
    {"NO_MATCH_NOTICE", "匹配失败，请检检查正则语句是否有误，数量：0", NO_MATCH_NOTICE},
    {"SKIPPED_TITLE_LOGIN", "<strong>登录</strong>", SKIPPED_TITLE_LOGIN},
    {"SKIPPED_TITLE_PINNED", "显示置顶", SKIPPED_TITLE_PINNED},
    {"COLUMN_NUMBER", "序号", COLUMN_NUMBER},
    {"COLUMN_TITLE", "标题", COLUMN_TITLE},
    {"COLUMN_LINK", "链接", COLUMN_LINK},
    {"DEFAULT_NOTICE_TITLE", "信息：", DEFAULT_NOTICE_TITLE},
    {"MENU_OPEN", "打开", MENU_OPEN},
    {"CAPTION", "Quennick", CAPTION},
    {"QUOTE_TOKEN", "#引号", QUOTE_TOKEN},
    {"LIST_CONTROL_NAME", "超级列表框1", LIST_CONTROL_NAME},
    {"THREAD_PATTERN", "<a href=#引号(.*?)#引号 onclick=#引号.*?#引号 class=#引号.*?#引号>.*?</a>", THREAD_PATTERN},
};
// clang-format on

}  // namespace qn::texts
