// The installers under Wine, as a user installs them one after another: the
// release, a rebuild of it, the next version and the x86 package of that
// one. Every install replaces the one before (one "Quillane" entry at every
// step), the verbs start quil.exe in a folder, a portable copy never takes
// them away, and the uninstall leaves nothing behind.
#include <windows.h>
#include <msi.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

#include "res/resource.h"
#include "tests/e2e/dialog_driver.h"
#include "tests/e2e/system.h"

namespace quil::e2e {
namespace {

namespace fs = std::filesystem;

const char kUpgradeCode[] = "{21004AEC-2B4B-4156-B0DC-07C624E1760C}";
const char* const kVerbs[] = {"Software\\Classes\\Directory\\Background\\shell\\Quillane",
                              "Software\\Classes\\Directory\\shell\\Quillane", "Software\\Classes\\Drive\\shell\\Quillane"};

std::string ProductInfo(const char* product, const char* property) {
    char value[1024];
    DWORD size = sizeof value;
    return MsiGetProductInfoA(product, property, value, &size) == ERROR_SUCCESS ? std::string(value) : std::string();
}

// The installed products of Quillane's upgrade code, each as
// "version;package file".
std::vector<std::string> Installed() {
    std::vector<std::string> products;
    char product[39];
    for (DWORD index = 0; MsiEnumRelatedProductsA(kUpgradeCode, 0, index, product) == ERROR_SUCCESS; ++index)
        products.push_back(ProductInfo(product, INSTALLPROPERTY_VERSIONSTRING) + ";" +
                           ProductInfo(product, INSTALLPROPERTY_PACKAGENAME));
    return products;
}

// The entries named "Quillane" that Settings > Apps lists: the uninstall
// keys of both registry views and of the user.
int ListedEntries() {
    int entries = 0;
    const char* uninstall = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
    for (const auto& [root, view] : {std::pair{HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY}, std::pair{HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY},
                                     std::pair{HKEY_CURRENT_USER, 0}}) {
        HKEY key;
        if (RegOpenKeyExA(root, uninstall, 0, KEY_READ | view, &key) != ERROR_SUCCESS) continue;
        char name[256];
        for (DWORD index = 0;; ++index) {
            DWORD size = sizeof name;
            if (RegEnumKeyExA(key, index, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
            char shown[256];
            DWORD shownSize = sizeof shown;
            if (RegGetValueA(key, name, "DisplayName", RRF_RT_REG_SZ, nullptr, shown, &shownSize) == ERROR_SUCCESS &&
                std::string(shown) == "Quillane")
                ++entries;
        }
        RegCloseKey(key);
    }
    return entries;
}

std::string Package(const char* name) {
    return PathFromEnvironment("QUIL_MSI_DIR") + "\\quillane-test-" + name + ".msi";
}

DWORD Install(const char* name) { return RunAndWait("msiexec /i \"" + Package(name) + "\" /qn"); }

TEST(Installer, EachInstallReplacesTheLastAndTheUninstallLeavesNothing) {
    const std::string release = std::getenv("QUIL_RELEASE"), next = std::getenv("QUIL_NEXT");
    const fs::path programs = fs::path(std::getenv("LOCALAPPDATA")) / "Programs";
    const fs::path installed = programs / "Quillane";
    const fs::path shortcut =
        fs::path(std::getenv("APPDATA")) / "Microsoft\\Windows\\Start Menu\\Programs\\How to use Quillane.lnk";
    const bool programsExisted = fs::exists(programs);

    ASSERT_EQ(Install("release"), 0u);
    EXPECT_EQ(Installed(), std::vector<std::string>{release + ";quillane-test-release.msi"});
    EXPECT_EQ(ListedEntries(), 1);
    for (const char* file : {"quil.exe", "quil-here.exe", "README.txt", "LICENSE.txt"})
        EXPECT_TRUE(fs::exists(installed / file)) << file;
    EXPECT_TRUE(fs::exists(shortcut));
    char product[39];
    ASSERT_EQ(MsiEnumRelatedProductsA(kUpgradeCode, 0, 0, product), ERROR_SUCCESS);
    EXPECT_EQ(ProductInfo(product, INSTALLPROPERTY_INSTALLLOCATION), installed.string() + "\\");
    EXPECT_EQ(ProductInfo(product, INSTALLPROPERTY_HELPLINK), (installed / "README.txt").string());
    EXPECT_EQ(ProductInfo(product, INSTALLPROPERTY_PUBLISHER), "The Quillane authors");
    const std::string command = "\"" + (installed / "quil-here.exe").string() + "\" \"%V\"";
    for (const char* verb : kVerbs) {
        EXPECT_EQ(UserValue(verb), "Rename files here with Quillane") << verb;
        EXPECT_EQ(UserValue(verb, "Icon"), (installed / "quil.exe").string()) << verb;
        EXPECT_EQ(UserValue(std::string(verb) + "\\command"), command) << verb;
    }

    // The verb's command line, with %V as Explorer fills it in (Wine's own
    // explorer ignores per-user verbs).
    const fs::path folder = fs::temp_directory_path() / ("quil-verb-" + std::to_string(GetCurrentProcessId()));
    fs::create_directories(folder / "sub");
    std::ofstream(folder / "one.txt") << "1";
    std::ofstream(folder / "sub" / "two.txt") << "2";
    std::string line = UserValue(std::string(kVerbs[0]) + "\\command");
    line.replace(line.find("%V"), 2, folder.string());
    {
        Program program(Program::Launched{line, {}});
        ASSERT_TRUE(program.Started()) << line;
        EXPECT_EQ(program.Text(IDC_NAMES), "one.txt\r\nsub\\two.txt");
        program.Close();
        EXPECT_TRUE(program.WaitForExit());
    }

    // A portable copy elsewhere neither takes the installed verbs away nor
    // replaces them, and says so by its exit code.
    const fs::path copy = folder / "portable";
    fs::create_directories(copy);
    fs::copy_file(PathFromEnvironment("QUIL_HERE"), copy / "quil-here.exe");
    const std::string portable = "\"" + (copy / "quil-here.exe").string() + "\"";
    EXPECT_EQ(RunAndWait(portable + " --unregister /quiet"), 1u);
    EXPECT_EQ(RunAndWait(portable + " --register /quiet"), 1u);
    for (const char* verb : kVerbs) EXPECT_EQ(UserValue(std::string(verb) + "\\command"), command) << verb;
    fs::remove_all(folder);

    ASSERT_EQ(Install("rebuild"), 0u);  // the same version, another product code
    EXPECT_EQ(Installed(), std::vector<std::string>{release + ";quillane-test-rebuild.msi"});
    EXPECT_EQ(ListedEntries(), 1);
    ASSERT_EQ(Install("next"), 0u);
    EXPECT_EQ(Installed(), std::vector<std::string>{next + ";quillane-test-next.msi"});
    EXPECT_EQ(ListedEntries(), 1);
    ASSERT_EQ(Install("x86"), 0u);  // the other platform's package
    EXPECT_EQ(Installed(), std::vector<std::string>{next + ";quillane-test-x86.msi"});
    EXPECT_EQ(ListedEntries(), 1);
    EXPECT_TRUE(fs::exists(installed / "quil.exe"));

    ASSERT_EQ(RunAndWait("msiexec /x \"" + Package("x86") + "\" /qn"), 0u);
    EXPECT_TRUE(Installed().empty());
    EXPECT_EQ(ListedEntries(), 0);
    EXPECT_FALSE(fs::exists(installed));
    EXPECT_EQ(fs::exists(programs), programsExisted);
    EXPECT_FALSE(fs::exists(shortcut));
    for (const char* verb : kVerbs) EXPECT_FALSE(UserKeyExists(verb)) << verb;
    EXPECT_FALSE(UserKeyExists("Software\\Quillane"));
}

}  // namespace
}  // namespace quil::e2e
