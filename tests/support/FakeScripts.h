#pragma once

#include "TestEnvironment.h"
#include "XdgDirs.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <sys/stat.h>

namespace lurkel::test {

// Puts a script of the test's own into the Application Scripts folder, where the runner
// finds it and never replaces it. It first appends its name to the log file.
inline void installFakeScript(const std::string &name, const BytePath &log, const std::string &body = {})
{
    ASSERT_TRUE(XdgDirs::makePath(XdgDirs::appScriptsDir(), 0700));
    const BytePath path = XdgDirs::appScriptsDir() / (name + ".scpt");
    writeFile(path, "#!/bin/sh\necho " + name + " >> '" + log.bytes() + "'\n" + body);
    ASSERT_EQ(::chmod(path.c_str(), 0700), 0);
}

// The lines of a file (the scripts that ran, in order).
inline std::vector<std::string> fileLines(const BytePath &path)
{
    std::vector<std::string> lines;
    const std::string text = readFile(path);
    for (std::size_t at = 0, end = 0; (end = text.find('\n', at)) != std::string::npos; at = end + 1)
        lines.push_back(text.substr(at, end - at));
    return lines;
}

} // namespace lurkel::test
