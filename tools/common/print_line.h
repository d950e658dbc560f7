// One answer line on standard output from any thread (the library's io thread prints notices while
// the main thread prints results): each line goes out whole and is flushed at once, so that a test
// reading a tool line by line never sees two lines run into each other.
#pragma once
#include <cstdio>
#include <mutex>
#include <string>

inline void PrintLine(const std::string& line) {
    static std::mutex lock;
    std::lock_guard<std::mutex> hold(lock);
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}
