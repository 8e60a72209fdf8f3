// The x64 installer under Wine: installed silently for the current user,
// its files and folder verbs checked, the verb's own command line run for a
// test folder (quil.exe must list that folder), then uninstalled, leaving
// nothing behind.
#include <windows.h>
#include <msi.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "res/resource.h"
#include "tests/e2e/dialog_driver.h"

namespace quil::e2e {
namespace {

namespace fs = std::filesystem;

std::string WindowsPath(std::string path) {
    if (!path.empty() && path[0] == '/') path = "Z:" + path;
    for (char& ch : path)
        if (ch == '/') ch = '\\';
    return path;
}

// Runs a command line and waits for its exit code.
DWORD RunAndWait(const std::string& commandLine) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::string line = commandLine;
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return GetLastError();
    WaitForSingleObject(process.hProcess, 120000);
    DWORD code = 1;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

// The default value of HKCU\key, or "(missing)".
std::string UserValue(const std::string& key, const char* name = nullptr) {
    char value[1024];
    DWORD size = sizeof value;
    if (RegGetValueA(HKEY_CURRENT_USER, key.c_str(), name, RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS)
        return "(missing)";
    return value;
}

bool UserKeyExists(const std::string& key) {
    HKEY handle;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return false;
    RegCloseKey(handle);
    return true;
}

const char kUpgradeCode[] = "{21004AEC-2B4B-4156-B0DC-07C624E1760C}";

// What the installed-programs list shows for the product of that upgrade
// code: name, version, publisher; empty when none is installed.
std::string InstalledProduct() {
    char product[39];
    if (MsiEnumRelatedProductsA(kUpgradeCode, 0, 0, product) != ERROR_SUCCESS) return {};
    std::string shown;
    for (const char* property : {INSTALLPROPERTY_INSTALLEDPRODUCTNAME, INSTALLPROPERTY_VERSIONSTRING,
                                 INSTALLPROPERTY_PUBLISHER}) {
        char value[256];
        DWORD size = sizeof value;
        if (MsiGetProductInfoA(product, property, value, &size) == ERROR_SUCCESS) shown += std::string(value) + ";";
    }
    return shown;
}

const char kBackgroundVerb[] = "Software\\Classes\\Directory\\Background\\shell\\Quillane";
const char kFolderVerb[] = "Software\\Classes\\Directory\\shell\\Quillane";

TEST(Installer, InstallsTheVerbsThatStartQuillaneInAFolderAndUninstallsClean) {
    const char* msi = std::getenv("QUIL_MSI");
    ASSERT_NE(msi, nullptr);
    const std::string package = WindowsPath(msi);
    const fs::path installed = fs::path(std::getenv("LOCALAPPDATA")) / "Programs" / "Quillane";

    ASSERT_EQ(RunAndWait("msiexec /i \"" + package + "\" /qn"), 0u);
    EXPECT_EQ(InstalledProduct(), "Quillane;1.0.0.1;The Quillane authors;");
    for (const char* file : {"quil.exe", "quil-here.exe", "README.txt", "LICENSE.txt"})
        EXPECT_TRUE(fs::exists(installed / file)) << file;
    const std::string command = "\"" + (installed / "quil-here.exe").string() + "\" \"%V\"";
    for (const char* verb : {kBackgroundVerb, kFolderVerb}) {
        EXPECT_EQ(UserValue(verb), "Rename files here with Quillane") << verb;
        EXPECT_EQ(UserValue(verb, "Icon"), (installed / "quil.exe").string()) << verb;
        EXPECT_EQ(UserValue(std::string(verb) + "\\command"), command) << verb;
    }

    // The verb's command line, with %V as Explorer fills it in.
    const fs::path folder = fs::temp_directory_path() / ("quil-verb-" + std::to_string(GetCurrentProcessId()));
    fs::create_directories(folder / "sub");
    std::ofstream(folder / "one.txt") << "1";
    std::ofstream(folder / "sub" / "two.txt") << "2";
    std::string line = UserValue(std::string(kBackgroundVerb) + "\\command");
    line.replace(line.find("%V"), 2, folder.string());
    {
        Program program(line);
        ASSERT_TRUE(program.Started()) << line;
        EXPECT_EQ(program.Text(IDC_NAMES), "one.txt\r\nsub\\two.txt");
        program.Close();
        EXPECT_TRUE(program.WaitForExit());
    }
    fs::remove_all(folder);

    ASSERT_EQ(RunAndWait("msiexec /x \"" + package + "\" /qn"), 0u);
    EXPECT_FALSE(fs::exists(installed));
    EXPECT_FALSE(UserKeyExists(kBackgroundVerb));
    EXPECT_FALSE(UserKeyExists(kFolderVerb));
    EXPECT_FALSE(UserKeyExists("Software\\Quillane"));
    EXPECT_EQ(InstalledProduct(), "");
}

TEST(Installer, TheLauncherSaysWhatIsWrongWithAMissingFolder) {
    const char* launcher = std::getenv("QUIL_HERE");
    ASSERT_NE(launcher, nullptr);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::string line = "\"" + WindowsPath(launcher) + "\" \"C:\\no\\such\\folder\"";
    ASSERT_TRUE(CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process));
    HWND box = nullptr;
    for (DWORD start = GetTickCount(); GetTickCount() - start < kStartMs && box == nullptr; Sleep(20))
        box = FindWindowA("#32770", "Quillane");
    ASSERT_NE(box, nullptr);
    EXPECT_NE(Program::BoxText(box).find("does not exist or cannot be read"), std::string::npos) << Program::BoxText(box);
    EXPECT_TRUE(Program::Answer(box, IDOK));
    EXPECT_EQ(WaitForSingleObject(process.hProcess, kWaitMs), WAIT_OBJECT_0);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    EXPECT_EQ(code, 1u);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}

}  // namespace
}  // namespace quil::e2e
