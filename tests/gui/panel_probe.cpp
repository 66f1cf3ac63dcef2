// Looks at and drives a running Zentrada.exe from outside, as the Windows
// shell and a person's eyes would: finds the control panel and its
// controls, message boxes and the log viewer, reads their texts and states,
// sends the tray icon's click, reads the settings from the registry and the
// dialog templates from the program's resources. Used by the GUI tests
// under Wine; prints code page 1252 bytes.
//
//   panel_probe wait-panel SECONDS     the panel exists (exit 1 if not)
//   panel_probe panel                  visible=0|1 and its screen rectangle
//   panel_probe controls               one line per control of the panel
//   panel_probe text ID                the text of one control
//   panel_probe command ID             posts the command to the panel
//   panel_probe tray-click             the tray icon's left-button press
//   panel_probe end-session            the end of the Windows session
//   panel_probe message-box            title and text of an open message box
//   panel_probe dismiss-box            presses its OK button
//   panel_probe log-viewer             the log viewer's text
//   panel_probe close-log-viewer       presses its OK button
//   panel_probe registry               the stored settings, type and bytes
//   panel_probe template EXE ID        a dialog template of a program
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr UINT kTrayCallback = WM_USER + 75;

std::string Narrow(const wchar_t* text, int length = -1) {
    const int size = WideCharToMultiByte(1252, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string result(size > 0 ? size : 0, '\0');
    WideCharToMultiByte(1252, 0, text, length, result.data(), size, nullptr, nullptr);
    if (length == -1 && !result.empty()) result.pop_back();
    return result;
}

// Asked of the window itself: GetWindowText does not read the controls of
// another process.
std::string WindowText(HWND window) {
    DWORD_PTR length = 0;
    SendMessageTimeoutA(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length);
    std::vector<char> text(length + 1, '\0');
    DWORD_PTR copied = 0;
    SendMessageTimeoutA(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG,
                        5000, &copied);
    return std::string(text.data(), copied);
}

std::string ClassOf(HWND window) {
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

bool IsDialog(HWND window) { return ClassOf(window) == "#32770"; }

struct Search {
    bool (*matches)(HWND);
    HWND found = nullptr;
};

BOOL CALLBACK CheckWindow(HWND window, LPARAM data) {
    auto* search = reinterpret_cast<Search*>(data);
    if (!search->matches(window)) return TRUE;
    search->found = window;
    return FALSE;
}

HWND FindTopLevel(bool (*matches)(HWND)) {
    Search search{matches};
    EnumWindows(CheckWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

bool IsPanel(HWND window) {
    return IsDialog(window) && GetDlgItem(window, 1023) != nullptr && GetDlgItem(window, 1008) != nullptr;
}
bool IsLogViewer(HWND window) { return IsDialog(window) && WindowText(window) == "Zentrada - Log"; }
// A message box's text is the static control 0xFFFF.
bool IsMessageBox(HWND window) {
    return IsDialog(window) && IsWindowVisible(window) && GetDlgItem(window, 0xFFFF) != nullptr;
}

HWND Required(HWND window, const char* what) {
    if (window == nullptr) {
        std::fprintf(stderr, "no %s\n", what);
        std::exit(1);
    }
    return window;
}

HWND Panel() { return Required(FindTopLevel(IsPanel), "panel"); }

void PrintRect(HWND window) {
    RECT r;
    GetWindowRect(window, &r);
    std::printf("%ld,%ld,%ld,%ld", r.left, r.top, r.right, r.bottom);
}

int ListControls() {
    const HWND panel = Panel();
    for (HWND child = GetWindow(panel, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        const int id = GetDlgCtrlID(child);
        const LRESULT checked = SendMessageA(child, BM_GETCHECK, 0, 0);
        std::printf("%d\t%s\tvisible=%d\tenabled=%d\tchecked=%d\t", id, ClassOf(child).c_str(),
                    IsWindowVisible(child) ? 1 : 0, IsWindowEnabled(child) ? 1 : 0,
                    ClassOf(child) == "Button" ? static_cast<int>(checked) : 0);
        PrintRect(child);
        std::printf("\t%s\n", WindowText(child).c_str());
    }
    return 0;
}

void PressOk(HWND dialog) {
    const HWND ok = GetDlgItem(dialog, IDOK);
    if (ok != nullptr) {
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(ok));
    } else {
        PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    }
}

void PrintValue(HKEY root, const char* key, const char* name) {
    HKEY opened;
    if (RegOpenKeyExA(root, key, 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS) {
        std::printf("%s\tno key\n", name);
        return;
    }
    BYTE data[4096];
    DWORD size = sizeof data;
    DWORD type = 0;
    if (RegQueryValueExA(opened, name, nullptr, &type, data, &size) != ERROR_SUCCESS) {
        std::printf("%s\tabsent\n", name);
    } else {
        std::printf("%s\ttype=%lu\t", name, type);
        for (DWORD i = 0; i < size; ++i) std::printf("%02x", data[i]);
        std::printf("\n");
    }
    RegCloseKey(opened);
}

int PrintRegistry() {
    const char* settings = "SOFTWARE\\TORVA\\Zentrada";
    for (const char* name : {"WorkDirectoryIn", "WorkDirectoryOut", "ShowTaskMsgs", "SimgleMode"})
        PrintValue(HKEY_LOCAL_MACHINE, settings, name);
    PrintValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", "Zentrada");
    return 0;
}

// Reads a DLGTEMPLATEEX: header, then items aligned to 4 bytes.
class TemplateReader {
public:
    explicit TemplateReader(const BYTE* data) : p_(data) {}
    template <class T>
    T Take() {
        T value;
        std::memcpy(&value, p_, sizeof value);
        p_ += sizeof value;
        return value;
    }
    // A string or an ordinal (0xFFFF then a number).
    std::string TakeName(bool classField) {
        const auto first = Take<WORD>();
        if (first == 0xFFFF) {
            const WORD ordinal = Take<WORD>();
            if (!classField) return "#" + std::to_string(ordinal);
            switch (ordinal) {
                case 0x80: return "BUTTON";
                case 0x81: return "EDIT";
                case 0x82: return "STATIC";
                default: return "#" + std::to_string(ordinal);
            }
        }
        p_ -= sizeof(WORD);
        const auto* text = reinterpret_cast<const wchar_t*>(p_);
        const std::size_t length = wcslen(text);
        p_ += (length + 1) * sizeof(wchar_t);
        std::string name = Narrow(text, static_cast<int>(length));
        // Class names ignore letter case; the resource compiler keeps
        // whichever the script used.
        if (classField)
            for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return name;
    }
    void Align() {
        while (reinterpret_cast<std::uintptr_t>(p_) % 4 != 0) ++p_;
    }
    void Skip(std::size_t bytes) { p_ += bytes; }

private:
    const BYTE* p_;
};

int PrintTemplate(const char* exe, int id) {
    const HMODULE module = LoadLibraryExA(exe, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    const HRSRC resource = module ? FindResourceA(module, MAKEINTRESOURCEA(id), reinterpret_cast<LPCSTR>(RT_DIALOG))
                                  : nullptr;
    if (resource == nullptr) {
        std::fprintf(stderr, "no dialog %d in %s\n", id, exe);
        return 1;
    }
    TemplateReader in(static_cast<const BYTE*>(LockResource(LoadResource(module, resource))));
    in.Take<WORD>();  // version
    in.Take<WORD>();  // signature
    in.Take<DWORD>();  // help id
    const auto exStyle = in.Take<DWORD>();
    const auto style = in.Take<DWORD>();
    const auto items = in.Take<WORD>();
    const auto x = in.Take<short>(), y = in.Take<short>(), cx = in.Take<short>(), cy = in.Take<short>();
    const std::string menu = in.TakeName(false);
    const std::string windowClass = in.TakeName(false);
    const std::string title = in.TakeName(false);
    std::printf("dialog %d\tstyle=%08lX\texstyle=%08lX\t%d,%d,%d,%d\t\"%s\"", id, style, exStyle, x, y, cx, cy,
                title.c_str());
    if (style & DS_SETFONT) {
        const auto points = in.Take<WORD>();
        in.Take<WORD>();  // weight
        in.Take<BYTE>();  // italic
        in.Take<BYTE>();  // charset
        std::printf("\tfont=%u,\"%s\"", points, in.TakeName(false).c_str());
    }
    std::printf("\n");
    for (WORD i = 0; i < items; ++i) {
        in.Align();
        in.Take<DWORD>();  // help id
        const auto itemExStyle = in.Take<DWORD>();
        const auto itemStyle = in.Take<DWORD>();
        const auto ix = in.Take<short>(), iy = in.Take<short>(), icx = in.Take<short>(), icy = in.Take<short>();
        const auto itemId = static_cast<int>(in.Take<DWORD>());
        const std::string itemClass = in.TakeName(true);
        const std::string text = in.TakeName(false);
        in.Skip(in.Take<WORD>());
        std::printf("%d\t%s\t%d,%d,%d,%d\tstyle=%08lX\texstyle=%08lX\t\"%s\"\n", itemId, itemClass.c_str(), ix, iy,
                    icx, icy, itemStyle, itemExStyle, text.c_str());
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    _setmode(_fileno(stdout), _O_BINARY);
    const std::string command = argc > 1 ? argv[1] : "";
    const int argument = argc > 2 ? std::atoi(argv[2]) : 0;
    if (command == "wait-panel") {
        for (int i = 0; i < argument * 10; ++i) {
            if (FindTopLevel(IsPanel) != nullptr) return 0;
            Sleep(100);
        }
        return 1;
    }
    if (command == "panel") {
        const HWND panel = Panel();
        std::printf("visible=%d\t", IsWindowVisible(panel) ? 1 : 0);
        PrintRect(panel);
        std::printf("\n");
        return 0;
    }
    if (command == "controls") return ListControls();
    if (command == "text") {
        std::printf("%s", WindowText(Required(GetDlgItem(Panel(), argument), "control")).c_str());
        return 0;
    }
    if (command == "command") return PostMessageA(Panel(), WM_COMMAND, argument, 0) ? 0 : 1;
    if (command == "tray-click") return PostMessageA(Panel(), kTrayCallback, 1, WM_LBUTTONDOWN) ? 0 : 1;
    if (command == "end-session") {
        // As Windows asks at log-off: may the session end, then it ends.
        const HWND panel = Panel();
        DWORD_PTR allowed = 0;
        SendMessageTimeoutA(panel, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_NORMAL, 5000, &allowed);
        std::printf("allowed=%d\n", allowed ? 1 : 0);
        DWORD_PTR ignored = 0;
        SendMessageTimeoutA(panel, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_NORMAL, 120000, &ignored);
        return 0;
    }
    if (command == "message-box") {
        const HWND box = Required(FindTopLevel(IsMessageBox), "message box");
        std::printf("%s\t%s\n", WindowText(box).c_str(), WindowText(GetDlgItem(box, 0xFFFF)).c_str());
        return 0;
    }
    if (command == "dismiss-box") {
        PressOk(Required(FindTopLevel(IsMessageBox), "message box"));
        return 0;
    }
    if (command == "log-viewer") {
        std::printf("%s", WindowText(GetDlgItem(Required(FindTopLevel(IsLogViewer), "log viewer"), 1001)).c_str());
        return 0;
    }
    if (command == "close-log-viewer") {
        PressOk(Required(FindTopLevel(IsLogViewer), "log viewer"));
        return 0;
    }
    if (command == "registry") return PrintRegistry();
    if (command == "template" && argc > 3) return PrintTemplate(argv[2], std::atoi(argv[3]));
    std::fprintf(stderr, "usage: see the head of panel_probe.cpp\n");
    return 2;
}
