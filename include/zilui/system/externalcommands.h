// SPDX-License-Identifier: MIT
#pragma once

#include <zil/containers.h>
#include <zil/mutex.h>
#include <zil/object.h>
#include <zil/path.h>
#include <zil/string.h>

namespace zil {
class CExecCommand;
}

namespace zilui {

class CAppBase;

// Performs the desktop actions a product may want to redirect (open a folder, the list of
// drives, a URL, the disk utility, a terminal). Each action tries, in this order:
//   1. the registered delegates, in registration order, until one returns true;
//   2. a helper file in the helper folder named after the action: "<name>.zilcall" (a text
//      file naming the program and its arguments) or else "<name>.exe" (an executable run
//      with the action's argument);
//   3. the built-in fallback: xdg-open for folders, drives and URLs (the browser wxWidgets
//      finds when xdg-open fails), the first of gnome-disks, partitionmanager and gparted on
//      PATH, and x-terminal-emulator.
// Any thread may call the actions; delegates run on the calling thread.
class CExternalCommandManager : public zil::CBase {
public:
    // Each operation returns true when it handled the action, false to let the next stage run.
    class IDelegate : public virtual zil::IBase {
    public:
        virtual bool openFileBrowser(const zil::String& path, bool asRoot) = 0;
        virtual bool openFileBrowserAtDiskList() = 0;
        virtual bool openWebBrowser(const zil::String& url) = 0;
        virtual bool openPartitionManager() = 0;
        virtual bool openCommandPrompt() = 0;
    };

    // An empty folder means "externalCommands" in the shared application files folder of the
    // running executable (CAppBase::findSharedAppFilesPath).
    explicit CExternalCommandManager(const zil::Path& helperFolder = zil::Path());

    // The process-wide manager, made on first use with the default helper folder.
    static zil::P<CExternalCommandManager> get();

    const zil::Path& getHelperFolder() const { return m_helperFolder; }

    // Keeps a reference. A delegate may add further delegates while it runs; they take part
    // from the next action on.
    void addDelegate(IDelegate* delegate);

    // `asRoot` asks for a view limited to `path`; the desktop's file managers have no such
    // mode, so only delegates and helpers (which get the path alone) can honour it.
    // Without a delegate or helper, a file is shown through the folder that holds it.
    void openFileBrowser(const zil::String& path, bool asRoot);
    void openFileBrowserAtDiskList();
    // The only action that falls back further when its helper or xdg-open cannot start.
    void openWebBrowser(const zil::String& url);
    void openPartitionManager();
    void openCommandPrompt();

    // xdg-open as found on PATH, which opens folders in the desktop's file manager. Throws
    // zil::CError naming it, with the property "searchPath", when PATH has none.
    static zil::Path getFileManagerPath();

protected:
    friend class CAppBase;
    // Drops the process-wide manager; the next get() makes a new one.
    static void disposeGlobalInstance();

    // Copied under the lock, so delegates run without it held.
    zil::TArray<zil::P<IDelegate>> getDelegates() const;

    // helper folder / "<name>.zilcall", else helper folder / "<name>.exe", else empty.
    zil::Path findExternalCommandHelper(const zil::String& name) const;
    // Start the helper detached; false when there is none. A helper that cannot be started
    // throws the error of zil::execDisconnected with the property "helper" set to its file.
    bool callExternalCommandHelper0(const zil::String& name);
    bool callExternalCommandHelper1(const zil::String& name, const zil::String& arg);
    // Turns a command whose executable is a ".zilcall" file into the command that file
    // describes, the command's arguments serving as $1, $2, ...; other commands stay as
    // they are. Throws zil::CParseError (property "path") for a file that names no program
    // or is not text, zil::CIOError when it cannot be read.
    void finalizeExecCommandForHelper(zil::CExecCommand& command) const;

    // Every built-in fallback ends in one of these two, so that a product or a test can see
    // or redirect what would start. startFallbackCommand runs the command detached.
    // openURLInDefaultBrowser asks wxWidgets for the browser; off the GUI thread it posts the
    // request to the GUI thread (which needs a running CAppBase) and reports a failure to
    // the log, since the caller has gone on by then.
    virtual void startFallbackCommand(const zil::CExecCommand& command);
    virtual void openURLInDefaultBrowser(const zil::String& url);

private:
    bool callExternalCommandHelper(const zil::String& name, const zil::TArray<zil::String>& args);

    zil::Path m_helperFolder;
    mutable zil::CMutex m_lock;
    zil::TArray<zil::P<IDelegate>> m_delegates;
};

} // namespace zilui
