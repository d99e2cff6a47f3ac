#include "os/kernel/CommandLine.h"

#include <fstream>
#include <iterator>
#include <mutex>
#include <string>

#include "os/kernel/Text.h"

namespace HA::OS {

namespace {

std::mutex gMutex;
WString gText;
bool gSet = false;

// Quotes an argument so that commandLineToArgv gives it back unchanged.
WString quoted(const WString& arg)
{
    if (!arg.empty() && arg.find_first_of(u" \t\"") == WString::npos)
        return arg;
    WString out = u"\"";
    std::size_t backslashes = 0;
    for (WChar c : arg) {
        if (c == u'\\') {
            ++backslashes;
            continue;
        }
        if (c == u'"')
            out.append(2 * backslashes + 1, u'\\');
        else
            out.append(backslashes, u'\\');
        backslashes = 0;
        out += c;
    }
    out.append(2 * backslashes, u'\\');
    return out + u'"';
}

WString join(const std::vector<std::string>& args)
{
    WString text;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (i)
            text += u' ';
        const WString arg = utf8ToUtf16(args[i]);
        // The program name is taken without backslash rules: quote it only as a whole.
        text += i == 0 ? (arg.find_first_of(u" \t") == WString::npos ? arg : u"\"" + arg + u"\"") : quoted(arg);
    }
    return text;
}

WString fromProc()
{
    std::ifstream in("/proc/self/cmdline", std::ios::binary);
    const std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::string> args;
    std::string current;
    for (char c : all) {
        if (c == '\0') {
            args.push_back(current);
            current.clear();
        } else {
            current += c;
        }
    }
    if (!current.empty())
        args.push_back(current);
    return join(args);
}

}  // namespace

void setCommandLine(int argc, const char* const* argv)
{
    std::vector<std::string> args;
    for (int i = 0; i < argc; ++i)
        args.emplace_back(argv[i] ? argv[i] : "");
    std::lock_guard<std::mutex> lock(gMutex);
    gText = join(args);
    gSet = true;
}

void setCommandLineText(const WString& text)
{
    std::lock_guard<std::mutex> lock(gMutex);
    gText = text;
    gSet = !text.empty();
}

WString getCommandLine()
{
    {
        std::lock_guard<std::mutex> lock(gMutex);
        if (gSet)
            return gText;
    }
    return fromProc();
}

std::vector<WString> commandLineToArgv(const WString& line)
{
    std::vector<WString> args;
    std::size_t i = 0;
    const std::size_t n = line.size();
    // The program name.
    WString program;
    if (i < n && line[i] == u'"') {
        ++i;
        while (i < n && line[i] != u'"')
            program += line[i++];
        if (i < n)
            ++i;
    } else {
        while (i < n && line[i] != u' ' && line[i] != u'\t')
            program += line[i++];
    }
    args.push_back(program);
    for (;;) {
        while (i < n && (line[i] == u' ' || line[i] == u'\t'))
            ++i;
        if (i >= n)
            break;
        WString arg;
        bool inQuotes = false;
        while (i < n && (inQuotes || (line[i] != u' ' && line[i] != u'\t'))) {
            if (line[i] == u'\\') {
                std::size_t backslashes = 0;
                while (i < n && line[i] == u'\\') {
                    ++backslashes;
                    ++i;
                }
                if (i < n && line[i] == u'"') {
                    arg.append(backslashes / 2, u'\\');
                    if (backslashes % 2) {
                        arg += u'"';
                        ++i;
                    }
                } else {
                    arg.append(backslashes, u'\\');
                }
                continue;
            }
            if (line[i] == u'"') {
                // A doubled quote inside quotes is a literal quote.
                if (inQuotes && i + 1 < n && line[i + 1] == u'"') {
                    arg += u'"';
                    i += 2;
                    continue;
                }
                inQuotes = !inQuotes;
                ++i;
                continue;
            }
            arg += line[i++];
        }
        args.push_back(arg);
    }
    return args;
}

}  // namespace HA::OS
