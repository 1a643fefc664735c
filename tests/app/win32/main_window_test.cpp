// MainWindow and the Win32 ui operations on real controls (under Wine on the
// Windows build): the window and list as built, the cells, the selection,
// Esc, the popup menu and the notice box.
#include <windows.h>
// windows.h first: the common controls header builds on it.
#include <commctrl.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/win32/main_window.h"
#include "app/win32/resource_ids.h"
#include "app/win32/startup.h"
#include "app/win32/ui_win32.h"
#include "text/fatal.h"
#include "text/fixed_texts.h"
#include "win32_test_util.h"

namespace qn {
namespace {

using namespace std::chrono_literals;
using testing::class_name;
using testing::find_message_box;
using testing::message_box_text;
using testing::wait_for_window;
using testing::window_text;

// Dispatches every queued message; true when a quit message was among them.
bool pump_messages() {
    bool quit = false;
    MSG message{};
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            quit = true;
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return quit;
}

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        window_ = MainWindow::create(GetModuleHandleW(nullptr));
        ASSERT_NE(window_, nullptr);
        hwnd_ = window_->hwnd();
        list_ = window_->list();
        ui_ = std::make_unique<Win32Ui>(*window_);
        window_->set_events({
            .list_right_click = [this] { ++right_clicks_; },
            .menu_command = [this](UINT command) { commands_.push_back(command); },
        });
    }

    void TearDown() override {
        ui_.reset();
        window_.reset();
        pump_messages();  // takes the quit message the destroyed window posted
    }

    std::unique_ptr<MainWindow> window_;
    std::unique_ptr<Win32Ui> ui_;
    HWND hwnd_ = nullptr;
    HWND list_ = nullptr;
    int right_clicks_ = 0;
    std::vector<UINT> commands_;
};

TEST_F(MainWindowTest, WindowIsCreatedHiddenCentredWithItsFixedSettings) {
    EXPECT_FALSE(IsWindowVisible(hwnd_));
    EXPECT_EQ(window_text(hwnd_), L"Quennick");

    RECT rect{};
    GetWindowRect(hwnd_, &rect);
    EXPECT_EQ(rect.right - rect.left, 406);
    EXPECT_EQ(rect.bottom - rect.top, 250);
    EXPECT_EQ(rect.left, (GetSystemMetrics(SM_CXSCREEN) - 406) / 2);
    EXPECT_EQ(rect.top, (GetSystemMetrics(SM_CYSCREEN) - 250) / 2);

    const auto style = static_cast<DWORD>(GetWindowLongW(hwnd_, GWL_STYLE));
    const DWORD wanted = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
    EXPECT_EQ(style & wanted, wanted);
    EXPECT_EQ(style & (WS_MAXIMIZEBOX | WS_THICKFRAME | WS_POPUP | WS_CHILD), 0u)
        << "fixed border, no maximize box, a top-level window";
    // The system gives every captioned window the raised window edge.
    const auto ex_style = static_cast<DWORD>(GetWindowLongW(hwnd_, GWL_EXSTYLE));
    EXPECT_EQ(ex_style & ~static_cast<DWORD>(WS_EX_WINDOWEDGE), 0u);
    EXPECT_EQ(GetWindow(hwnd_, GW_OWNER), nullptr);

    EXPECT_EQ(GetClassLongPtrW(hwnd_, GCLP_HBRBACKGROUND),
              static_cast<ULONG_PTR>(COLOR_BTNFACE + 1));
    EXPECT_EQ(reinterpret_cast<HGDIOBJ>(SendMessageW(hwnd_, WM_GETFONT, 0, 0)),
              GetStockObject(DEFAULT_GUI_FONT));
    // "a" is the only top-level menu item and it is hidden: no menu bar.
    EXPECT_EQ(GetMenu(hwnd_), nullptr);
}

int icon_width(HICON icon) {
    ICONINFO info{};
    if (!GetIconInfo(icon, &info)) {
        return 0;
    }
    BITMAP bitmap{};
    GetObjectW(info.hbmColor != nullptr ? info.hbmColor : info.hbmMask, sizeof(bitmap), &bitmap);
    if (info.hbmColor != nullptr) {
        DeleteObject(info.hbmColor);
    }
    DeleteObject(info.hbmMask);
    return bitmap.bmWidth;
}

TEST_F(MainWindowTest, IconsComeFromAResourceOfFourTrueColourImages) {
    const auto big = reinterpret_cast<HICON>(SendMessageW(hwnd_, WM_GETICON, ICON_BIG, 0));
    const auto small = reinterpret_cast<HICON>(SendMessageW(hwnd_, WM_GETICON, ICON_SMALL, 0));
    ASSERT_NE(big, nullptr);
    ASSERT_NE(small, nullptr);
    EXPECT_EQ(icon_width(big), GetSystemMetrics(SM_CXICON));
    EXPECT_EQ(icon_width(small), GetSystemMetrics(SM_CXSMICON));

    // The icon group: a 6-byte header, then 14-byte entries
    // (width, height, colours, reserved, planes, bit count, size, id).
    HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(QN_IDI_APP), RT_GROUP_ICON);
    ASSERT_NE(found, nullptr);
    const auto* group =
        static_cast<const unsigned char*>(LockResource(LoadResource(nullptr, found)));
    ASSERT_NE(group, nullptr);
    uint16_t count = 0;
    std::memcpy(&count, group + 4, 2);
    ASSERT_EQ(count, 4);
    std::vector<int> sizes;
    for (int i = 0; i < count; ++i) {
        const unsigned char* entry = group + 6 + 14 * i;
        uint16_t bit_count = 0;
        std::memcpy(&bit_count, entry + 6, 2);
        EXPECT_EQ(bit_count, 32) << "image " << i;
        EXPECT_EQ(entry[0], entry[1]) << "square image " << i;
        sizes.push_back(entry[0]);
    }
    EXPECT_EQ(sizes, (std::vector<int>{16, 32, 48, 128}));
}

TEST(ManifestTest, SelectsCommonControlsVersion6) {
    HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(1), RT_MANIFEST);
    ASSERT_NE(found, nullptr);
    const auto* bytes = static_cast<const char*>(LockResource(LoadResource(nullptr, found)));
    const std::string manifest(bytes, SizeofResource(nullptr, found));
    const size_t common_controls = manifest.find("name=\"Microsoft.Windows.Common-Controls\"");
    ASSERT_NE(common_controls, std::string::npos);
    EXPECT_NE(manifest.find("version=\"6.0.0.0\"", common_controls), std::string::npos);
}

TEST_F(MainWindowTest, ListIsBuiltWithItsSettingsAndColumns) {
    ASSERT_NE(list_, nullptr);
    EXPECT_EQ(GetParent(list_), hwnd_);
    EXPECT_EQ(class_name(list_), L"SysListView32");
    EXPECT_EQ(window_text(list_), L"超级列表框1");

    // 408 x 225 at (0, 0) of the client area, not fitted to it.
    RECT rect{};
    GetWindowRect(list_, &rect);
    MapWindowPoints(nullptr, hwnd_, reinterpret_cast<POINT*>(&rect), 2);
    EXPECT_EQ(rect.left, 0);
    EXPECT_EQ(rect.top, 0);
    EXPECT_EQ(rect.right - rect.left, 408);
    EXPECT_EQ(rect.bottom - rect.top, 225);

    const auto style = static_cast<DWORD>(GetWindowLongW(list_, GWL_STYLE));
    const DWORD wanted = WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_TABSTOP | LVS_SINGLESEL |
                         WS_VISIBLE;  // shown without activation
    EXPECT_EQ(style & wanted, wanted);
    EXPECT_EQ(style & LVS_TYPEMASK, static_cast<DWORD>(LVS_REPORT));
    EXPECT_EQ(style & (WS_BORDER | WS_DISABLED | LVS_SHOWSELALWAYS | LVS_NOCOLUMNHEADER |
                       LVS_SORTASCENDING | LVS_SORTDESCENDING | LVS_EDITLABELS),
              0u);
    const auto ex_style = static_cast<DWORD>(GetWindowLongW(list_, GWL_EXSTYLE));
    EXPECT_EQ(ex_style & WS_EX_CLIENTEDGE, static_cast<DWORD>(WS_EX_CLIENTEDGE));
    EXPECT_EQ(SendMessageW(list_, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0), 0x423);

    EXPECT_EQ(SendMessageW(list_, LVM_GETTEXTCOLOR, 0, 0), RGB(0, 0, 0));
    EXPECT_EQ(SendMessageW(list_, LVM_GETTEXTBKCOLOR, 0, 0), RGB(255, 255, 255));
    EXPECT_EQ(SendMessageW(list_, LVM_GETBKCOLOR, 0, 0), RGB(255, 255, 255));
    EXPECT_EQ(reinterpret_cast<HGDIOBJ>(SendMessageW(list_, WM_GETFONT, 0, 0)),
              GetStockObject(DEFAULT_GUI_FONT));

    struct Column {
        std::wstring header;
        int width;
    };
    const Column columns[] = {{L"序号", 40}, {L"标题", 200}, {L"链接", 200}};
    for (int i = 0; i < 3; ++i) {
        wchar_t header[64] = {};
        LVCOLUMNW column{};
        column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT;
        column.pszText = header;
        column.cchTextMax = 64;
        ASSERT_TRUE(SendMessageW(list_, LVM_GETCOLUMNW, i, reinterpret_cast<LPARAM>(&column)));
        EXPECT_EQ(header, columns[i].header) << "column " << i;
        EXPECT_EQ(column.cx, columns[i].width) << "column " << i;
        EXPECT_EQ(column.fmt & LVCFMT_JUSTIFYMASK, LVCFMT_LEFT) << "column " << i;
    }
    const auto header = reinterpret_cast<HWND>(SendMessageW(list_, LVM_GETHEADER, 0, 0));
    EXPECT_EQ(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0), 3);

    EXPECT_EQ(ui_->lv_row_count(), 0);
    EXPECT_EQ(ui_->lv_selected_row(), -1);
}

// `units` UTF-16 units of mixed ASCII and two-byte characters, in code page
// 936: "a" is one byte, 中 (0xD6 0xD0) and 文 (0xCE 0xC4) two bytes each.
std::string mixed_text(size_t units) {
    static const char* const pieces[] = {"a", "\xd6\xd0", "7", "\xce\xc4", "-"};
    std::string text;
    for (size_t i = 0; i < units; ++i) {
        text += pieces[i % 5];
    }
    return text;
}

TEST_F(MainWindowTest, RowsAreAppendedAtTheEndAndCellsReadBackWhole) {
    EXPECT_EQ(ui_->lv_append_row(), 0);
    ui_->lv_set_cell(0, 0, Text("1"));
    EXPECT_EQ(ui_->lv_append_row(), 1);
    EXPECT_EQ(ui_->lv_append_row(), 2);
    EXPECT_EQ(ui_->lv_row_count(), 3);
    EXPECT_EQ(ui_->lv_cell_text(0, 0), Text("1")) << "an appended row goes after the others";
    EXPECT_EQ(ui_->lv_cell_text(1, 0), Text()) << "a new row is empty";

    // Lengths around each size the cell buffer takes (512, 1024, 2048, ...
    // units), where a text that fills the buffer must be read again.
    const size_t lengths[] = {1, 510, 511, 512, 513, 1023, 1024, 2000, 4097};
    for (const size_t units : lengths) {
        const Text text(mixed_text(units));
        for (int32_t column = 0; column < 3; ++column) {
            ui_->lv_set_cell(1, column, text);
            EXPECT_EQ(ui_->lv_cell_text(1, column), text)
                << units << " units (" << txt_len(text) << " bytes), column " << column;
        }
    }

    // The Chinese fixed texts pass through the wide list unchanged.
    ui_->lv_set_cell(2, 1, Text(texts::SKIPPED_TITLE_LOGIN));
    EXPECT_EQ(ui_->lv_cell_text(2, 1), Text(texts::SKIPPED_TITLE_LOGIN));
    // An empty text empties the cell; a row that does not exist reads empty.
    ui_->lv_set_cell(2, 1, Text());
    EXPECT_EQ(ui_->lv_cell_text(2, 1), Text());
    EXPECT_EQ(ui_->lv_cell_text(7, 1), Text());
}

TEST_F(MainWindowTest, SelectedRowFollowsTheSingleSelection) {
    for (int i = 0; i < 4; ++i) {
        ui_->lv_append_row();
    }
    EXPECT_EQ(ui_->lv_selected_row(), -1) << "rows but no selection";

    auto select = [this](int row, bool on) {
        LVITEMW item{};
        item.stateMask = LVIS_SELECTED;
        item.state = on ? LVIS_SELECTED : 0;
        SendMessageW(list_, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
    };
    select(2, true);
    EXPECT_EQ(ui_->lv_selected_row(), 2);
    select(0, true);  // single selection: row 2 is deselected
    EXPECT_EQ(ui_->lv_selected_row(), 0);
    select(0, false);
    EXPECT_EQ(ui_->lv_selected_row(), -1);
}

// Esc closes the window from the window and from the list, but not with a
// modifier held; other keys do nothing.
TEST(MainWindowKeysTest, EscapeWithoutModifiersCloses) {
    struct Case {
        const char* name;
        bool on_list;
        WPARAM key;
        int modifier;  // virtual key held down, 0 for none
        bool closes;
    };
    const Case cases[] = {
        {"Esc on the window", false, VK_ESCAPE, 0, true},
        {"Esc on the list", true, VK_ESCAPE, 0, true},
        {"Ctrl+Esc on the list", true, VK_ESCAPE, VK_CONTROL, false},
        {"Shift+Esc on the window", false, VK_ESCAPE, VK_SHIFT, false},
        {"Alt+Esc on the list", true, VK_ESCAPE, VK_MENU, false},
        {"Enter on the list", true, VK_RETURN, 0, false},
        {"F1 on the window", false, VK_F1, 0, false},
    };
    for (const Case& c : cases) {
        std::unique_ptr<MainWindow> window = MainWindow::create(GetModuleHandleW(nullptr));
        ASSERT_NE(window, nullptr);
        const HWND hwnd = window->hwnd();
        BYTE keys[256] = {};
        GetKeyboardState(keys);
        if (c.modifier != 0) {
            keys[c.modifier] = 0x80;
            SetKeyboardState(keys);
        }
        SendMessageW(c.on_list ? window->list() : hwnd, WM_KEYDOWN, c.key, 1);
        const bool quit = pump_messages();
        if (c.modifier != 0) {
            keys[c.modifier] = 0;
            SetKeyboardState(keys);
        }
        EXPECT_EQ(!IsWindow(hwnd), c.closes) << c.name;
        EXPECT_EQ(window->exists(), !c.closes) << c.name;
        EXPECT_EQ(quit, c.closes) << c.name << ": closing posts the quit message";
        window.reset();
        pump_messages();
    }
}

TEST_F(MainWindowTest, RightClickOnTheListRaisesTheEvent) {
    ui_->lv_append_row();
    // The list tracks the button until it is released: the release waits in
    // the queue when the press arrives.
    PostMessageW(list_, WM_RBUTTONUP, 0, MAKELPARAM(20, 40));
    SendMessageW(list_, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(20, 40));
    pump_messages();
    EXPECT_EQ(right_clicks_, 1);
    EXPECT_TRUE(commands_.empty());
}

TEST_F(MainWindowTest, PopupSourceIsTheHiddenItemA) {
    const MenuItem* a = window_->top_menu_item(Text("a"));
    ASSERT_NE(a, nullptr);
    EXPECT_FALSE(a->visible);
    ASSERT_EQ(a->items.size(), 1u);

    const UniqueMenu popup = build_popup_menu(*a);
    ASSERT_NE(popup, nullptr);
    ASSERT_EQ(GetMenuItemCount(popup.get()), 1);
    wchar_t caption[32] = {};
    GetMenuStringW(popup.get(), 0, caption, 32, MF_BYPOSITION);
    EXPECT_STREQ(caption, L"打开");
    EXPECT_EQ(GetMenuItemID(popup.get(), 0), ID_MENU_OPEN);

    // Hidden items under a popup source are left out, the order is kept.
    MenuItem source{
        Text("x"),
        false,
        0,
        {{Text("one"), true, 11, {}}, {Text("two"), false, 12, {}}, {Text("three"), true, 13, {}}}};
    const UniqueMenu built = build_popup_menu(source);
    ASSERT_EQ(GetMenuItemCount(built.get()), 2);
    EXPECT_EQ(GetMenuItemID(built.get(), 0), 11u);
    EXPECT_EQ(GetMenuItemID(built.get(), 1), 13u);
}

// What a timer saw of the popup menu while it was open, and the keys it
// then typed into it.
struct PopupVisit {
    std::vector<WPARAM> keys;
    HWND menu_window = nullptr;
    RECT rect{};
    std::wstring first_item;
    int item_count = -1;
};
PopupVisit* g_popup_visit = nullptr;

void CALLBACK visit_popup(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND menu = nullptr;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND hwnd, LPARAM found) -> BOOL {
            if (IsWindowVisible(hwnd) && class_name(hwnd) == L"#32768") {
                *reinterpret_cast<HWND*>(found) = hwnd;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&menu));
    if (menu == nullptr) {
        return;  // not open yet
    }
    KillTimer(nullptr, timer);
    PopupVisit& visit = *g_popup_visit;
    visit.menu_window = menu;
    GetWindowRect(menu, &visit.rect);
    const auto hmenu = reinterpret_cast<HMENU>(SendMessageW(menu, MN_GETHMENU, 0, 0));
    visit.item_count = GetMenuItemCount(hmenu);
    wchar_t caption[32] = {};
    GetMenuStringW(hmenu, 0, caption, 32, MF_BYPOSITION);
    visit.first_item = caption;
    for (const WPARAM key : visit.keys) {
        PostMessageW(menu, WM_KEYDOWN, key, 1);
    }
}

TEST_F(MainWindowTest, PopupMenuOpensBesideThePointerAndPostsTheChosenCommand) {
    struct Case {
        const char* name;
        std::vector<WPARAM> keys;
        std::vector<UINT> commands;
    };
    const Case cases[] = {
        {"Down and Enter choose 打开", {VK_DOWN, VK_RETURN}, {ID_MENU_OPEN}},
        {"Esc closes it without a choice", {VK_ESCAPE}, {}},
    };
    ShowWindow(hwnd_, SW_SHOW);
    for (const Case& c : cases) {
        commands_.clear();
        SetCursorPos(200, 150);
        POINT cursor{};
        GetCursorPos(&cursor);

        PopupVisit visit;
        visit.keys = c.keys;
        g_popup_visit = &visit;
        const UINT_PTR timer = SetTimer(nullptr, 0, 50, visit_popup);
        ui_->popup_menu_at_cursor();  // returns when the menu has closed
        KillTimer(nullptr, timer);
        g_popup_visit = nullptr;

        ASSERT_NE(visit.menu_window, nullptr) << c.name;
        EXPECT_EQ(visit.rect.left, cursor.x + 3) << c.name;
        EXPECT_EQ(visit.rect.top, cursor.y + 3) << c.name;
        EXPECT_EQ(visit.item_count, 1) << c.name;
        EXPECT_EQ(visit.first_item, L"打开") << c.name;
        EXPECT_FALSE(IsWindow(visit.menu_window)) << c.name << ": the popup is gone";
        EXPECT_TRUE(commands_.empty()) << c.name << ": the choice arrives after the menu";
        pump_messages();
        EXPECT_EQ(commands_, c.commands) << c.name;
    }
}

// A notice box is owner-less and task-modal: while it is open the program's
// own windows are disabled, unless the style asks for a system-modal box.
TEST_F(MainWindowTest, NoticeBoxShowsItsTextAndTitle) {
    struct Case {
        const char* name;
        int32_t style;
        std::optional<Text> title;
        std::wstring shown_title;
        bool window_disabled;
    };
    const Case cases[] = {
        {"opening notice", MB_STYLE_OK, Text("Quennick"), L"Quennick", true},
        {"failure notice without title", MB_STYLE_ERROR, std::nullopt, L"信息：", true},
        {"system-modal box", MB_STYLE_OK | MB_STYLE_SYSTEMMODAL, std::nullopt, L"信息：", false},
    };
    for (const Case& c : cases) {
        struct Seen {
            std::wstring title;
            std::wstring text;
            bool window_enabled = true;
            bool has_owner = true;
        } seen;
        std::atomic<bool> found{false};
        std::thread user([&] {
            const DWORD pid = GetCurrentProcessId();
            HWND box = wait_for_window([pid] { return find_message_box(pid); }, 20s);
            if (box == nullptr) {
                return;
            }
            seen.title = window_text(box);
            seen.text = message_box_text(box);
            seen.window_enabled = IsWindowEnabled(hwnd_) != FALSE;
            seen.has_owner = GetWindow(box, GW_OWNER) != nullptr;
            found = true;
            SendMessageW(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
        });
        ui_->notice_box(Text(texts::OPENING_NOTICE), c.style, c.title);
        user.join();
        ASSERT_TRUE(found) << c.name;
        EXPECT_EQ(seen.title, c.shown_title) << c.name;
        EXPECT_EQ(seen.text, L"右键打开网址") << c.name;
        EXPECT_FALSE(seen.has_owner) << c.name;
        EXPECT_EQ(!seen.window_enabled, c.window_disabled) << c.name;
        EXPECT_TRUE(IsWindowEnabled(hwnd_)) << c.name << ": enabled again afterwards";
    }
}

bool exited_fatally(int status) {
    return status == FATAL_EXIT_CODE || status == (FATAL_EXIT_CODE & 0xff);
}

// A start window that cannot be created ends the program after the report.
TEST(StartupDeathTest, WindowThatCannotBeCreatedIsFatal) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            // The user reads the report (echoed to stderr here) and closes it.
            std::thread([] {
                const DWORD pid = GetCurrentProcessId();
                HWND box = wait_for_window([pid] { return find_message_box(pid); }, 20s);
                if (box != nullptr) {
                    std::fprintf(stderr, "report: %ls\n", message_box_text(box).c_str());
                    std::fflush(stderr);
                    SendMessageW(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
                }
            }).detach();
            run_quennick(GetModuleHandleW(nullptr), [](HINSTANCE) { return nullptr; });
        },
        exited_fatally, "report: Loading the start window failed");
}

}  // namespace
}  // namespace qn
