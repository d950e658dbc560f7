// The shared log (a fixed 2048-byte buffer behind an output stream), the fatal path and the
// registered jump target.
#include "sonvex_log.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <streambuf>
#include <string>

#include "vidvex.h"

namespace {

constexpr size_t kLogBytes = 2048;
constexpr size_t kAnnouncementMax = 1023;  // the video library's message buffer takes no more

// A streambuf over a fixed array. One byte is kept for the terminating NUL; what does not fit
// is dropped, so a long message is cut, never written past the buffer.
class fixedLogBuf : public std::streambuf {
public:
    fixedLogBuf() { rewind(); }
    void rewind() {
        setp(m_text, m_text + kLogBytes - 1);
        m_text[0] = '\0';
    }
    const char* text() {
        *pptr() = '\0';
        return m_text;
    }

protected:
    int_type overflow(int_type) override { return traits_type::eof(); }

private:
    char m_text[kLogBytes];
};

fixedLogBuf g_logBuf;
std::ostream g_log(&g_logBuf);
char g_fatalText[kLogBytes];
std::jmp_buf* g_jumpTarget = nullptr;
void (*g_logObserver)(const char*) = nullptr;
bool g_fatalPending = false;

// heading + "%s, line %u:\n %s\n" into a 2048-byte buffer, cut to fit.
void compose(char (&out)[kLogBytes], const char* heading, const char* file, unsigned line, const char* text) {
    std::string s = heading;
    s += file ? file : "";
    s += ", line " + std::to_string(line) + ":\n ";
    s += text;
    s += '\n';
    size_t n = s.size() < kLogBytes - 1 ? s.size() : kLogBytes - 1;
    std::memcpy(out, s.data(), n);
    out[n] = '\0';
}

void announce(const char* text) {
    char cut[kAnnouncementMax + 1];
    size_t n = std::strlen(text);
    if (n > kAnnouncementMax)
        n = kAnnouncementMax;
    std::memcpy(cut, text, n);
    cut[n] = '\0';
    Announcement(cut);
}

}  // namespace

std::ostream& audioLog() {
    if (g_logObserver)
        g_logObserver(g_logBuf.text());
    g_logBuf.rewind();
    g_log.clear();
    return g_log;
}

const char* audioLogText() {
    return g_logBuf.text();
}

void audioSetLogObserver(void (*observer)(const char* message)) {
    g_logObserver = observer;
}

const char* audioFatalText() {
    return g_fatalText;
}

void audioFatal(const char* file, unsigned line) {
    compose(g_fatalText, "FATAL ERROR in file ", file, line, audioLogText());
    announce(g_fatalText);
    throw audioFatalError{};
}

void audioReport(const char* file, unsigned line) {
    char text[kLogBytes];
    compose(text, "File ", file, line, audioLogText());
    announce(text);
}

void audioNoteFatalInDestructor() {
    g_fatalPending = true;
}

void audioClearFatalPending() {
    g_fatalPending = false;
}

bool audioFatalPending() {
    return g_fatalPending;
}

std::jmp_buf* audioJumpTarget() {
    return g_jumpTarget;
}

void audioSetJumpTarget(std::jmp_buf* target) {
    g_jumpTarget = target;
}

void audioLeave() {
    g_fatalPending = false;
    if (g_jumpTarget)
        std::longjmp(*g_jumpTarget, 1);
    std::fputs(g_fatalText, stderr);
    std::fflush(stderr);
    std::exit(1);
}
