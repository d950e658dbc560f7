// Processes started from a Windows command line, over fork and exec: the line is split into
// arguments, the program is found along PATH, and a reaper thread waits for the child, keeps its
// exit code and signals its process and thread handles (manual-reset events) when it ends. Also
// the environment reader.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "registry.h"
#include "winprocess.h"

namespace {

struct ChildProcess {
    pid_t pid = 0;
    std::mutex lock;
    bool ended = false;
    DWORD exitCode = STILL_ACTIVE;
};

// Handle values are reused once closed: a new process replaces whatever an old value named.
std::mutex g_ChildLock;
std::map<HANDLE, std::shared_ptr<ChildProcess>>& Children() {
    static auto* children = new std::map<HANDLE, std::shared_ptr<ChildProcess>>; // never destroyed
    return *children;
}

std::shared_ptr<ChildProcess> FindChild(HANDLE handle) {
    std::lock_guard<std::mutex> guard(g_ChildLock);
    auto it = Children().find(handle);
    return it == Children().end() ? nullptr : it->second;
}

// Windows rules, simplified: blanks and tabs separate words, double quotes group, \" is a quote
// and backslashes elsewhere are plain characters.
std::vector<std::string> SplitCommandLine(const char* line) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false, quoted = false;
    for (const char* p = line; *p; ++p) {
        if (*p == '\\' && p[1] == '"') {
            word += '"';
            inWord = true;
            ++p;
        } else if (*p == '"') {
            quoted = !quoted;
            inWord = true;
        } else if ((*p == ' ' || *p == '\t') && !quoted) {
            if (inWord) words.push_back(word);
            word.clear();
            inWord = false;
        } else {
            word += *p;
            inWord = true;
        }
    }
    if (inWord) words.push_back(word);
    return words;
}

bool IsExecutable(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

// The program's path: as given when it holds a '/', else the first match along PATH.
bool FindProgram(const std::string& name, std::string* path) {
    if (name.find('/') != std::string::npos) {
        *path = name;
        return IsExecutable(name);
    }
    const char* search = std::getenv("PATH");
    std::string list = search ? search : "/usr/bin:/bin";
    size_t start = 0;
    while (start <= list.size()) {
        size_t end = list.find(':', start);
        if (end == std::string::npos) end = list.size();
        std::string dir = list.substr(start, end - start);
        std::string candidate = (dir.empty() ? std::string(".") : dir) + "/" + name;
        if (IsExecutable(candidate)) {
            *path = candidate;
            return true;
        }
        start = end + 1;
    }
    return false;
}

void Reap(std::shared_ptr<ChildProcess> child, HANDLE processEvent, HANDLE threadEvent) {
    int status = 0;
    pid_t got;
    do {
        got = waitpid(child->pid, &status, 0);
    } while (got < 0 && errno == EINTR);
    {
        std::lock_guard<std::mutex> guard(child->lock);
        child->ended = true;
        if (got < 0)
            child->exitCode = 1;
        else if (WIFEXITED(status))
            child->exitCode = DWORD(WEXITSTATUS(status));
        else
            child->exitCode = DWORD(128 + WTERMSIG(status));
    }
    SetEvent(processEvent);
    SetEvent(threadEvent);
    CloseHandle(processEvent);
    CloseHandle(threadEvent);
}

HANDLE Duplicate(HANDLE handle) {
    HANDLE copy = nullptr;
    DuplicateHandle(GetCurrentProcess(), handle, GetCurrentProcess(), &copy, 0, FALSE, DUPLICATE_SAME_ACCESS);
    return copy;
}

}  // namespace

PLATAPI BOOL CreateProcessA(LPCSTR application, LPSTR commandLine, void*, void*, BOOL, DWORD flags, void*,
                            LPCSTR directory, STARTUPINFOA*, PROCESS_INFORMATION* information) {
    if (application || !commandLine || directory) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::vector<std::string> words = SplitCommandLine(commandLine);
    std::string program;
    if (words.empty() || !FindProgram(words[0], &program)) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);

    const bool suspended = (flags & CREATE_SUSPENDED) != 0;
    pid_t pid = fork();
    if (pid < 0) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    if (pid == 0) {
        if (suspended) raise(SIGSTOP);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    if (suspended) {
        int status = 0;
        while (waitpid(pid, &status, WUNTRACED) < 0 && errno == EINTR) {
        }
    }
    auto child = std::make_shared<ChildProcess>();
    child->pid = pid;
    HANDLE process = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE thread = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    {
        std::lock_guard<std::mutex> guard(g_ChildLock);
        Children()[process] = child;
        Children()[thread] = child;
    }
    std::thread(Reap, child, Duplicate(process), Duplicate(thread)).detach();
    if (information) {
        information->hProcess = process;
        information->hThread = thread;
        information->dwProcessId = DWORD(pid);
        information->dwThreadId = DWORD(pid);
    } else {
        CloseHandle(process);
        CloseHandle(thread);
    }
    return TRUE;
}

PLATAPI BOOL GetExitCodeProcess(HANDLE process, DWORD* exitCode) {
    std::shared_ptr<ChildProcess> child = FindChild(process);
    if (!child || !exitCode) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    std::lock_guard<std::mutex> guard(child->lock);
    *exitCode = child->exitCode;
    return TRUE;
}

PLATAPI BOOL TerminateProcess(HANDLE process, UINT) {
    std::shared_ptr<ChildProcess> child = FindChild(process);
    if (!child) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    std::lock_guard<std::mutex> guard(child->lock);
    if (!child->ended) kill(child->pid, SIGKILL);
    return TRUE;
}

PLATAPI DWORD GetEnvironmentVariableA(LPCSTR name, LPSTR buffer, DWORD size) {
    const char* value = name ? std::getenv(name) : nullptr;
    if (!value) {
        SetLastError(ERROR_ENVVAR_NOT_FOUND);
        return 0;
    }
    const size_t length = std::strlen(value);
    if (!buffer || length >= size) return DWORD(length + 1);
    std::memcpy(buffer, value, length + 1);
    return DWORD(length);
}
