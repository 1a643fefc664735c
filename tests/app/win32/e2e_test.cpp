// End to end on Windows: the real program, built with its listing URL on a
// loopback server, driven from outside as a user would drive it. The test
// serves a listing page in code page 936, dismisses the opening notice,
// reads the rows from the live list, right-clicks a row, clicks "打开",
// checks the link that reached the stand-in browser and closes with Esc.
//
// The stand-in browser: under Wine, ShellExecute "open" on an http URL runs
// winebrowser, which starts the first program of the registry value
// HKCU\Software\Wine\WineBrowser\Browsers; the test fixture points it at a
// script that appends its arguments to QN_E2E_RECORD_FILE.
#include <winsock2.h>
#include <ws2tcpip.h>

// After winsock2.h; the common controls header builds on windows.h.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "win32_test_util.h"

namespace {

using namespace std::chrono_literals;
using qn::testing::class_name;
using qn::testing::find_message_box;
using qn::testing::find_top_window;
using qn::testing::message_box_text;
using qn::testing::wait_for_window;
using qn::testing::window_text;

constexpr unsigned short PORT = QN_E2E_PORT;

// A host path ("/work/...") as Wine sees it (drive Z: is the host's root);
// a Windows path is kept.
std::wstring windows_path(const std::string& path) {
    std::wstring out = path.starts_with('/') ? L"Z:" : L"";
    for (const char c : path) {
        out += c == '/' ? L'\\' : static_cast<wchar_t>(static_cast<unsigned char>(c));
    }
    return out;
}

std::string to_cp936(const std::wstring& wide) {
    const int size = WideCharToMultiByte(936, 0, wide.data(), static_cast<int>(wide.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(936, 0, wide.data(), static_cast<int>(wide.size()), out.data(), size,
                        nullptr, nullptr);
    return out;
}

// The synthetic listing page: three thread anchors (two relative links, one
// absolute), the two anchors whose titles are skipped, and an anchor of
// another shape that the pattern does not take.
std::string listing_page() {
    const std::wstring port = std::to_wstring(PORT);
    const std::wstring page =
        L"<html><head><meta charset=\"gbk\"><title>论坛</title></head><body>\r\n"
        L"<a href=\"member.php?mod=logging&amp;action=login\" onclick=\"showWindow('login', "
        L"this.href)\" class=\"xi2\"><strong>登录</strong></a>\r\n"
        L"<a href=\"javascript:;\" onclick=\"hideStickThread()\" class=\"showhide "
        L"y\">显示置顶</a>\r\n"
        L"<a href=\"thread-1-1-1.html\" onclick=\"atarget(this)\" class=\"s "
        L"xst\">第一帖：欢迎</a>\r\n"
        L"<a href=\"http://127.0.0.1:" +
        port +
        L"/thread-2-1-1.html\" onclick=\"atarget(this)\" "
        L"class=\"s xst\">Second thread 第二</a>\r\n"
        L"<a href=\"forum.php?mod=guide\" class=\"plain\">导读</a>\r\n"
        L"<a href=\"thread-3-1-1.html\" onclick=\"atarget(this)\" class=\"s xst\">第三帖</a>\r\n"
        L"</body></html>\r\n";
    return to_cp936(page);
}

// A loopback HTTP server answering every request with one page, recording
// the request heads it received.
class PageServer {
public:
    explicit PageServer(std::string page) : page_(std::move(page)) {}
    ~PageServer() { stop(); }

    // Listens on 127.0.0.1:PORT, waiting up to 30 s for the port to be free.
    bool start() {
        WSADATA wsa{};
        if (WSAStartup(MAKEWORD(2, 2), &wsa) != 0) {
            return false;
        }
        started_wsa_ = true;
        const auto deadline = std::chrono::steady_clock::now() + 30s;
        for (;;) {
            listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
            sockaddr_in address{};
            address.sin_family = AF_INET;
            address.sin_port = htons(PORT);
            address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            if (listener_ != INVALID_SOCKET &&
                bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
                listen(listener_, 8) == 0) {
                break;
            }
            closesocket(listener_);
            listener_ = INVALID_SOCKET;
            if (std::chrono::steady_clock::now() >= deadline) {
                return false;
            }
            std::this_thread::sleep_for(200ms);
        }
        thread_ = std::thread([this] { serve(); });
        return true;
    }

    void stop() {
        stopping_ = true;
        if (thread_.joinable()) {
            thread_.join();
        }
        if (listener_ != INVALID_SOCKET) {
            closesocket(listener_);
            listener_ = INVALID_SOCKET;
        }
        if (started_wsa_) {
            WSACleanup();
            started_wsa_ = false;
        }
    }

    std::vector<std::string> requests() {
        std::lock_guard lock(mutex_);
        return requests_;
    }

private:
    void serve() {
        while (!stopping_) {
            fd_set readable;
            FD_ZERO(&readable);
            FD_SET(listener_, &readable);
            timeval wait{0, 100000};
            if (select(0, &readable, nullptr, nullptr, &wait) <= 0) {
                continue;
            }
            const SOCKET client = accept(listener_, nullptr, nullptr);
            if (client == INVALID_SOCKET) {
                continue;
            }
            answer(client);
            closesocket(client);
        }
    }

    void answer(SOCKET client) {
        DWORD timeout_ms = 10000;
        setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout_ms),
                   sizeof(timeout_ms));
        std::string head;
        char buffer[4096];
        while (head.find("\r\n\r\n") == std::string::npos && head.size() < 65536) {
            const int got = recv(client, buffer, sizeof(buffer), 0);
            if (got <= 0) {
                break;
            }
            head.append(buffer, static_cast<size_t>(got));
        }
        {
            std::lock_guard lock(mutex_);
            requests_.push_back(head);
        }
        const std::string response =
            "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=gbk\r\nContent-Length: " +
            std::to_string(page_.size()) + "\r\nConnection: close\r\n\r\n" + page_;
        send(client, response.data(), static_cast<int>(response.size()), 0);
        shutdown(client, SD_SEND);
    }

    std::string page_;
    SOCKET listener_ = INVALID_SOCKET;
    bool started_wsa_ = false;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
    std::mutex mutex_;
    std::vector<std::string> requests_;
};

// The program under test; ended at once if the test stops early.
class Program {
public:
    bool start(const std::wstring& exe) {
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        std::wstring command = L"\"" + exe + L"\"";
        return CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                              nullptr, &startup, &info_) != FALSE;
    }
    ~Program() {
        if (info_.hProcess != nullptr) {
            if (WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT) {
                TerminateProcess(info_.hProcess, 99);
            }
            CloseHandle(info_.hProcess);
            CloseHandle(info_.hThread);
        }
    }
    DWORD pid() const { return info_.dwProcessId; }
    HANDLE process() const { return info_.hProcess; }

private:
    PROCESS_INFORMATION info_{};
};

// Memory inside the program's process, for list-view messages that carry
// pointers.
class RemoteMemory {
public:
    RemoteMemory(HANDLE process, size_t size)
        : process_(process),
          address_(
              VirtualAllocEx(process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE)) {}
    ~RemoteMemory() {
        if (address_ != nullptr) {
            VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
        }
    }
    RemoteMemory(const RemoteMemory&) = delete;
    RemoteMemory& operator=(const RemoteMemory&) = delete;

    char* at(size_t offset) const { return static_cast<char*>(address_) + offset; }
    bool write(size_t offset, const void* data, size_t size) const {
        return WriteProcessMemory(process_, at(offset), data, size, nullptr) != FALSE;
    }
    bool read(size_t offset, void* data, size_t size) const {
        return ReadProcessMemory(process_, at(offset), data, size, nullptr) != FALSE;
    }
    bool valid() const { return address_ != nullptr; }

private:
    HANDLE process_;
    void* address_;
};

std::wstring remote_cell_text(HANDLE process, HWND list, int row, int column) {
    constexpr size_t units = 2048;
    RemoteMemory memory(process, sizeof(LVITEMW) + units * sizeof(wchar_t));
    if (!memory.valid()) {
        return L"<no remote memory>";
    }
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = reinterpret_cast<wchar_t*>(memory.at(sizeof(LVITEMW)));
    item.cchTextMax = static_cast<int>(units);
    memory.write(0, &item, sizeof(item));
    const auto copied = SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row),
                                     reinterpret_cast<LPARAM>(memory.at(0)));
    std::wstring text(static_cast<size_t>(copied), L'\0');
    memory.read(sizeof(LVITEMW), text.data(), text.size() * sizeof(wchar_t));
    return text;
}

bool remote_select_row(HANDLE process, HWND list, int row) {
    RemoteMemory memory(process, sizeof(LVITEMW));
    LVITEMW item{};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    return memory.valid() && memory.write(0, &item, sizeof(item)) &&
           SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row),
                        reinterpret_cast<LPARAM>(memory.at(0))) != FALSE;
}

// The row's rectangle in screen coordinates.
RECT remote_row_rect(HANDLE process, HWND list, int row) {
    RemoteMemory memory(process, sizeof(RECT));
    RECT rect{};
    rect.left = LVIR_BOUNDS;
    memory.write(0, &rect, sizeof(rect));
    SendMessageW(list, LVM_GETITEMRECT, static_cast<WPARAM>(row),
                 reinterpret_cast<LPARAM>(memory.at(0)));
    memory.read(0, &rect, sizeof(rect));
    MapWindowPoints(list, nullptr, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

void send_mouse(DWORD flags, POINT at = {}) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    if ((flags & MOUSEEVENTF_ABSOLUTE) != 0) {
        input.mi.dx = MulDiv(at.x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
        input.mi.dy = MulDiv(at.y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
    }
    SendInput(1, &input, sizeof(input));
}

void send_key(WORD key) {
    INPUT inputs[2] = {};
    inputs[0].type = INPUT_KEYBOARD;
    inputs[0].ki.wVk = key;
    inputs[1] = inputs[0];
    inputs[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, inputs, sizeof(INPUT));
}

std::vector<std::string> recorded_links(const std::wstring& file) {
    std::vector<std::string> lines;
    std::ifstream in(file.c_str());
    for (std::string line; std::getline(in, line);) {
        if (!line.empty()) {
            lines.push_back(line);
        }
    }
    return lines;
}

// When QN_E2E_PAUSE_FILE is set (by the screenshot script), the test
// creates that file while the popup menu is open and waits until the
// script removes it.
void pause_for_screenshot() {
    const char* pause_file = std::getenv("QN_E2E_PAUSE_FILE");
    if (pause_file == nullptr || *pause_file == '\0') {
        return;
    }
    const std::wstring path = windows_path(pause_file);
    std::ofstream(path.c_str()) << "popup open\n";
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    while (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(100ms);
    }
}

TEST(EndToEndTest, ListsTheThreadsAndOpensTheChosenOneInTheBrowser) {
    const std::wstring record_file = windows_path(QN_E2E_RECORD_FILE);
    std::ofstream(record_file.c_str(), std::ios::trunc).close();

    PageServer server(listing_page());
    ASSERT_TRUE(server.start()) << "port " << PORT << " stayed busy";
    Program program;
    ASSERT_TRUE(program.start(windows_path(QN_E2E_APP))) << GetLastError();
    const DWORD pid = program.pid();

    // 1. The opening notice comes first, with the window still hidden and
    //    the page not yet asked for.
    const HWND notice = wait_for_window([pid] { return find_message_box(pid); }, 60s);
    ASSERT_NE(notice, nullptr) << "no opening notice";
    EXPECT_EQ(window_text(notice), L"Quennick");
    EXPECT_EQ(message_box_text(notice), L"右键打开网址");
    const HWND hidden_window =
        find_top_window(pid, [](HWND hwnd) { return class_name(hwnd) == L"QuennickMainWindow"; });
    ASSERT_NE(hidden_window, nullptr) << "the window exists while the notice is shown";
    EXPECT_FALSE(IsWindowVisible(hidden_window));
    EXPECT_TRUE(server.requests().empty()) << "the page is fetched after the notice";
    SendMessageW(GetDlgItem(notice, IDOK), BM_CLICK, 0, 0);

    // 2. The window appears centred, 406 x 250, with the rows of the page.
    const HWND window = wait_for_window(
        [pid] {
            return find_top_window(pid, [](HWND hwnd) {
                return IsWindowVisible(hwnd) && class_name(hwnd) == L"QuennickMainWindow";
            });
        },
        60s);
    ASSERT_NE(window, nullptr) << "the window did not appear";
    EXPECT_EQ(window, hidden_window);
    EXPECT_EQ(GetForegroundWindow(), window) << "showing the window activates it";
    EXPECT_EQ(window_text(window), L"Quennick");
    RECT rect{};
    GetWindowRect(window, &rect);
    EXPECT_EQ(rect.right - rect.left, 406);
    EXPECT_EQ(rect.bottom - rect.top, 250);
    EXPECT_EQ(rect.left, (GetSystemMetrics(SM_CXSCREEN) - 406) / 2);
    EXPECT_EQ(rect.top, (GetSystemMetrics(SM_CYSCREEN) - 250) / 2);

    const std::vector<std::string> requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_TRUE(requests[0].starts_with("GET /forum-37-1.html HTTP/1.1\r\n")) << requests[0];
    EXPECT_NE(requests[0].find("\r\nHost: 127.0.0.1:" + std::to_string(PORT) + "\r\n"),
              std::string::npos)
        << requests[0];

    const HWND list = FindWindowExW(window, nullptr, L"SysListView32", nullptr);
    ASSERT_NE(list, nullptr);
    const std::wstring port = std::to_wstring(PORT);
    const std::vector<std::vector<std::wstring>> expected_rows = {
        {L"1", L"第一帖：欢迎", L"thread-1-1-1.html"},
        {L"2", L"Second thread 第二", L"http://127.0.0.1:" + port + L"/thread-2-1-1.html"},
        {L"3", L"第三帖", L"thread-3-1-1.html"},
    };
    std::vector<std::vector<std::wstring>> rows;
    const auto count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < count; ++row) {
        rows.push_back({remote_cell_text(program.process(), list, row, 0),
                        remote_cell_text(program.process(), list, row, 1),
                        remote_cell_text(program.process(), list, row, 2)});
    }
    EXPECT_EQ(rows, expected_rows);
    ASSERT_EQ(count, 3);

    // 3. The user selects the third row and right-clicks it: the popup menu
    //    opens 3 pixels right of and below the pointer.
    ASSERT_TRUE(remote_select_row(program.process(), list, 2));
    EXPECT_EQ(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED), 2);
    const RECT row_rect = remote_row_rect(program.process(), list, 2);
    const POINT click{row_rect.left + 60, (row_rect.top + row_rect.bottom) / 2};
    send_mouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, click);
    send_mouse(MOUSEEVENTF_RIGHTDOWN);
    send_mouse(MOUSEEVENTF_RIGHTUP);
    const HWND menu = wait_for_window(
        [pid] {
            return find_top_window(pid, [](HWND hwnd) {
                return IsWindowVisible(hwnd) && class_name(hwnd) == L"#32768";
            });
        },
        20s);
    ASSERT_NE(menu, nullptr) << "no popup menu";
    POINT cursor{};
    GetCursorPos(&cursor);
    RECT menu_rect{};
    GetWindowRect(menu, &menu_rect);
    EXPECT_EQ(menu_rect.left, cursor.x + 3);
    EXPECT_EQ(menu_rect.top, cursor.y + 3);
    EXPECT_EQ(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED), 2)
        << "the right click kept the row selected";

    // 4. The user points at "打开", the menu's one item, and clicks it. The
    //    row's relative link reaches the browser resolved against the page.
    const POINT item{(menu_rect.left + menu_rect.right) / 2,
                     (menu_rect.top + menu_rect.bottom) / 2};
    send_mouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, item);
    pause_for_screenshot();
    send_mouse(MOUSEEVENTF_LEFTDOWN);
    send_mouse(MOUSEEVENTF_LEFTUP);
    const std::string expected_link =
        "http://127.0.0.1:" + std::to_string(PORT) + "/thread-3-1-1.html";
    std::vector<std::string> opened;
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    while ((opened = recorded_links(record_file)).empty() &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(100ms);
    }
    EXPECT_EQ(opened, std::vector<std::string>{expected_link});

    // 5. Esc closes the window and the program ends with exit code 0.
    ASSERT_EQ(WaitForSingleObject(program.process(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
    send_key(VK_ESCAPE);
    ASSERT_EQ(WaitForSingleObject(program.process(), 30000), static_cast<DWORD>(WAIT_OBJECT_0))
        << "Esc did not close the program";
    DWORD exit_code = 1;
    GetExitCodeProcess(program.process(), &exit_code);
    EXPECT_EQ(exit_code, 0u);
}

}  // namespace
