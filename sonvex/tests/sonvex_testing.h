// Helpers shared by the audio library's tests: catching a fatal error's message, sources over
// plain arrays, and the log as a list of messages.
#pragma once
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "audio.h"
#include "integer.h"
#include "sonvex_log.h"

namespace svt {

// Runs f, which must fail; returns the failing check's message (the log text).
inline std::string FatalOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const audioFatalError&) {
        return audioLogText();
    }
    ADD_FAILURE() << "no fatal error";
    return "";
}

// A source over a vector of words, counting its extract calls.
class arraySource final : public audioSeekableSource {
public:
    arraySource(uint32_t rate, std::vector<uint32_t> words) : m_rate(rate), m_words(std::move(words)) {}
    uint32_t rate() const override { return m_rate; }
    uint32_t remaining() const override { return static_cast<uint32_t>(m_words.size()) - m_pos; }
    uint32_t position() const override { return m_pos; }
    uint32_t extract(uint32_t* words, uint32_t n) override {
        ++extractCalls;
        uint32_t k = n < remaining() ? n : remaining();
        for (uint32_t i = 0; i < k; ++i)
            words[i] = m_words[m_pos + i];
        m_pos += k;
        return k;
    }
    void rewind() override {
        ++rewinds;
        m_pos = 0;
    }
    int extractCalls = 0;
    int rewinds = 0;

private:
    uint32_t m_rate;
    std::vector<uint32_t> m_words;
    uint32_t m_pos = 0;
};

// Every message the log receives from now on, until destroyed.
class logRecorder {
public:
    logRecorder() {
        messages().clear();
        audioLog();  // start clean
        audioSetLogObserver([](const char* m) {
            if (*m)
                messages().push_back(m);
        });
    }
    ~logRecorder() { audioSetLogObserver(nullptr); }
    // The messages so far, the latest included.
    std::vector<std::string> all() const {
        std::vector<std::string> v = messages();
        if (*audioLogText())
            v.push_back(audioLogText());
        return v;
    }
    bool has(const std::string& text) const {
        for (const std::string& m : all())
            if (m == text)
                return true;
        return false;
    }

private:
    static std::vector<std::string>& messages() {
        static std::vector<std::string> m;
        return m;
    }
};

// A deterministic test signal of n words: two tones, different per channel.
inline std::vector<uint32_t> TwoTones(size_t n, int amplitude = 12000) {
    std::vector<uint32_t> w(n);
    for (size_t i = 0; i < n; ++i) {
        double t = static_cast<double>(i);
        int l = static_cast<int>(amplitude * __builtin_sin(t * 0.031) + amplitude / 4 * __builtin_sin(t * 0.4));
        int r = static_cast<int>(amplitude * __builtin_cos(t * 0.017) - amplitude / 5 * __builtin_sin(t * 0.9));
        w[i] = SampleWord(l, r);
    }
    return w;
}

}  // namespace svt
