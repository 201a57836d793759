// SPDX-License-Identifier: MIT
// The gallery as a screen reader meets it: read through the accessibility bus, then closed the
// way a session closes it, it must not make GTK complain. A reader that has walked the whole
// window holds an accessible of every notebook page, which is what GTK trips over when the
// pages go.
#include "zil/temp_folder.h"

#include <gtest/gtest.h>

#include <glib.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace zilui::test {
namespace {

#ifdef ZILUI_GALLERY_PATH
const char* const kGalleryProgram = ZILUI_GALLERY_PATH;
#else
const char* const kGalleryProgram = ""; // a build without the gallery (the sanitizer build)
#endif

std::vector<char*> argvOf(std::vector<std::string>& args)
{
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    return argv;
}

// A reader that stays on the gallery's main window (zilui-atspiread --stay) once it has read
// it, until `stop`.
struct Reader {
    GPid pid = 0;
    int input = -1;
    std::string tree;

    // False, with the reader ended, while the gallery has not shown its window on the bus yet.
    bool start(GPid gallery)
    {
        std::vector<std::string> args = {ZILUI_ATSPIREAD_PATH, "--stay", std::to_string(gallery), "zilui gallery"};
        std::vector<char*> argv = argvOf(args);
        int output = -1;
        if (!g_spawn_async_with_pipes(nullptr, argv.data(), nullptr,
                                      GSpawnFlags(G_SPAWN_DO_NOT_REAP_CHILD | G_SPAWN_STDERR_TO_DEV_NULL), nullptr,
                                      nullptr, &pid, &input, &output, nullptr, nullptr))
            return false;
        std::string text;
        char buffer[4096];
        for (ssize_t n; text.find("\n.\n") == std::string::npos && (n = ::read(output, buffer, sizeof buffer)) > 0;)
            text.append(buffer, size_t(n));
        ::close(output);
        const size_t end = text.find("\n.\n");
        if (end == std::string::npos) {
            stop();
            return false;
        }
        tree = text.substr(0, end + 1);
        return true;
    }

    void stop()
    {
        if (input >= 0)
            ::close(input);
        input = -1;
        if (pid > 0) {
            ::waitpid(pid, nullptr, 0);
            g_spawn_close_pid(pid);
        }
        pid = 0;
    }

    ~Reader() { stop(); }
};

int countLines(const std::string& text, const std::string& role)
{
    int count = 0;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
        count += line.find("\t" + role + "\t") != std::string::npos;
    return count;
}

TEST(GalleryAccessibility, ClosesWithoutCriticalsAfterAScreenReaderReadIt)
{
    if (!*kGalleryProgram)
        GTEST_SKIP() << "the gallery is not built";
    if (g_getenv("NO_AT_BRIDGE") || !g_getenv("ZILUI_TEST_AT_SPI_BUS_ADDRESS"))
        GTEST_SKIP() << "the accessibility bridge is off or has no registry (NO_AT_BRIDGE, or no "
                        "ZILUI_TEST_AT_SPI_BUS_ADDRESS from scripts/test.sh's Wayland stage)";
    // The pages the criticals were first seen on, and the first page, which holds no library
    // control at all: the fault lies with the page book, not with a page.
    for (const char* page : {"resources", "overlays", "welcome"}) {
        SCOPED_TRACE(page);
        zil::test::CTempFolder home;
        const std::string errors = home.api(L"stderr.txt");
        const int errorFd = ::open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        ASSERT_GE(errorFd, 0);
        const std::string root = home.path().toAPIPath();
        gchar** env = g_get_environ();
        for (const auto& [name, value] : {std::pair<const char*, std::string>{"HOME", root},
                                          {"XDG_CONFIG_HOME", root + "/config"},
                                          {"XDG_STATE_HOME", root + "/state"},
                                          {"XDG_CACHE_HOME", root + "/cache"},
                                          {"GSETTINGS_BACKEND", "memory"}})
            env = g_environ_setenv(env, name, value.c_str(), TRUE);
        std::vector<std::string> args = {kGalleryProgram, std::string("--page=") + page};
        std::vector<char*> argv = argvOf(args);
        GPid gallery = 0;
        GError* spawnError = nullptr;
        const bool started = g_spawn_async_with_fds(root.c_str(), argv.data(), env, G_SPAWN_DO_NOT_REAP_CHILD,
                                                    nullptr, nullptr, &gallery, -1, -1, errorFd, &spawnError);
        g_strfreev(env);
        ::close(errorFd);
        ASSERT_TRUE(started) << spawnError->message;
        Reader reader;
        bool read = false;
        for (int attempt = 0; attempt < 300 && !read; ++attempt)
            if (!(read = reader.start(gallery)))
                g_usleep(100 * 1000);
        // How a session ends a program, while the reader listens: the application base closes
        // its windows on SIGTERM.
        ::kill(gallery, SIGTERM);
        int status = 0;
        ::waitpid(gallery, &status, 0);
        g_spawn_close_pid(gallery);
        reader.stop();
        ASSERT_TRUE(read) << "the reader never found the gallery's window";
        const std::string& tree = reader.tree;
        // Every page of the book was read, so GTK holds an accessible for each.
        EXPECT_GE(countLines(tree, "page tab"), 10) << tree;
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
        std::ifstream file(errors);
        const std::string printed((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        EXPECT_EQ(printed.find("CRITICAL"), std::string::npos) << printed;
        EXPECT_EQ(printed.find("-WARNING"), std::string::npos) << printed;
    }
}

// The bridge loaded, as in every GNOME session, but no accessibility bus to be had: one line says
// so, and the gallery shows its window and ends as usual. Runs on either display, any stage.
TEST(GalleryAccessibility, WithoutAnAccessibilityBusTheGallerySaysSoOnceAndGoesOn)
{
    if (!*kGalleryProgram)
        GTEST_SKIP() << "the gallery is not built";
    zil::test::CTempFolder home;
    const std::string root = home.path().toAPIPath();
    const struct {
        const char* name;
        std::string address;
    } cases[] = {
        {"nobody listens", "unix:path=" + root + "/no-bus"},
        {"not an address", "nonsense"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        gchar** env = g_get_environ();
        env = g_environ_unsetenv(env, "NO_AT_BRIDGE");
        for (const auto& [name, value] : {std::pair<const char*, std::string>{"HOME", root},
                                          {"XDG_CONFIG_HOME", root + "/config"},
                                          {"XDG_STATE_HOME", root + "/state"},
                                          {"XDG_CACHE_HOME", root + "/cache"},
                                          {"GSETTINGS_BACKEND", "memory"},
                                          {"GTK_MODULES", "gail:atk-bridge"},
                                          {"AT_SPI_BUS_ADDRESS", c.address}})
            env = g_environ_setenv(env, name, value.c_str(), TRUE);
        const std::string shot = root + "/shot.png";
        std::remove(shot.c_str());
        std::vector<std::string> args = {kGalleryProgram, "--page=overlays", "--screenshot", shot};
        std::vector<char*> argv = argvOf(args);
        gchar* printed = nullptr;
        gint status = 0;
        GError* spawnError = nullptr;
        const bool ran = g_spawn_sync(root.c_str(), argv.data(), env, G_SPAWN_STDOUT_TO_DEV_NULL, nullptr, nullptr,
                                      nullptr, &printed, &status, &spawnError);
        g_strfreev(env);
        ASSERT_TRUE(ran) << spawnError->message;
        const std::string errors = printed ? printed : "";
        g_free(printed);
        EXPECT_TRUE(g_spawn_check_wait_status(status, nullptr)) << errors;
        EXPECT_TRUE(g_file_test(shot.c_str(), G_FILE_TEST_EXISTS)) << errors;
        std::vector<std::string> lines;
        std::istringstream text(errors);
        for (std::string line; std::getline(text, line);)
            if (!line.empty())
                lines.push_back(line);
        ASSERT_EQ(lines.size(), 1u) << errors;
        EXPECT_NE(lines[0].find("accessibility bus"), std::string::npos) << errors;
    }
}

} // namespace
} // namespace zilui::test
