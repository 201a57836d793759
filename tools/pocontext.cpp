// SPDX-License-Identifier: MIT
// Gives a language's catalogue the context rules of the library's translations, so that
// wxGetTranslation(), _() and XRC labels follow them as zilui::translate() does: a text
// "context#||#Open" without a translation of its own takes that of "Open", or shows "Open";
// a translation that carries a context loses it. With no .po file the result is the
// catalogue of the source language: each context text maps to its text without the context.
//
//     zilui-pocontext TEMPLATE.pot [LANG.po|-] OUT.po
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

const std::string kMarker = "#||#";

struct Entry {
    std::string raw;      // the block as written, comments included
    std::string msgid;
    std::string msgstr;
    bool singular = true; // no context, no plural, not obsolete
    bool fuzzy = false;
};

std::string unquote(const std::string& line)
{
    const size_t first = line.find('"');
    const size_t last = line.rfind('"');
    std::string result;
    for (size_t i = first + 1; i < last; ++i) {
        if (line[i] == '\\' && i + 1 < last) {
            const char c = line[++i];
            result += c == 'n' ? '\n' : c == 't' ? '\t' : c == 'r' ? '\r' : c;
        } else {
            result += line[i];
        }
    }
    return result;
}

std::string quote(const std::string& text)
{
    std::string result = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\')
            result += '\\', result += c;
        else if (c == '\n')
            result += "\\n";
        else if (c == '\t')
            result += "\\t";
        else
            result += c;
    }
    return result + "\"";
}

std::vector<Entry> parse(const std::string& path)
{
    std::ifstream in(path);
    if (!in)
        throw std::runtime_error("cannot read " + path);
    std::vector<Entry> entries;
    Entry entry;
    std::string* target = nullptr;
    const auto finish = [&] {
        if (!entry.raw.empty())
            entries.push_back(entry);
        entry = Entry();
        target = nullptr;
    };
    std::string line;
    while (std::getline(in, line)) {
        if (line.find_first_not_of(" \t\r") == std::string::npos) {
            finish();
            continue;
        }
        entry.raw += line + "\n";
        if (line.rfind("#~", 0) == 0 || line.rfind("msgctxt", 0) == 0 || line.rfind("msgid_plural", 0) == 0 ||
            line.rfind("msgstr[", 0) == 0) {
            entry.singular = false;
            target = nullptr;
        } else if (line.rfind("#,", 0) == 0 && line.find("fuzzy") != std::string::npos) {
            entry.fuzzy = true;
        } else if (line.rfind("msgid ", 0) == 0) {
            entry.msgid = unquote(line), target = &entry.msgid;
        } else if (line.rfind("msgstr ", 0) == 0) {
            entry.msgstr = unquote(line), target = &entry.msgstr;
        } else if (line[0] == '"' && target) {
            *target += unquote(line);
        }
    }
    finish();
    return entries;
}

std::string afterMarker(const std::string& text)
{
    const size_t pos = text.find(kMarker);
    return pos == std::string::npos ? text : text.substr(pos + kMarker.size());
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::cerr << "usage: zilui-pocontext TEMPLATE.pot LANG.po|- OUT.po\n";
        return 2;
    }
    try {
        const std::vector<Entry> templ = parse(argv[1]);
        const bool sourceLanguage = std::string(argv[2]) == "-";
        const std::vector<Entry> entries = sourceLanguage ? std::vector<Entry>() : parse(argv[2]);

        std::map<std::string, std::string> translated;
        for (const Entry& e : entries)
            if (e.singular && !e.fuzzy && !e.msgid.empty() && !e.msgstr.empty())
                translated[e.msgid] = e.msgstr;
        const auto ruled = [&](const std::string& msgid) {
            const auto own = translated.find(msgid);
            if (own != translated.end())
                return afterMarker(own->second);
            const auto plain = translated.find(afterMarker(msgid));
            return plain != translated.end() ? afterMarker(plain->second) : afterMarker(msgid);
        };
        const auto needsRule = [](const Entry& e) {
            return e.singular && !e.msgid.empty() &&
                   (e.msgid.find(kMarker) != std::string::npos || e.msgstr.find(kMarker) != std::string::npos);
        };
        const auto write = [](std::ostream& out, const std::string& msgid, const std::string& msgstr) {
            out << "msgid " << quote(msgid) << "\nmsgstr " << quote(msgstr) << "\n\n";
        };

        std::ostringstream out;
        std::set<std::string> written;
        if (sourceLanguage)
            out << "msgid \"\"\nmsgstr \"Content-Type: text/plain; charset=UTF-8\\n\"\n\n";
        for (const Entry& e : entries) {
            if (needsRule(e) && !written.count(e.msgid)) {
                write(out, e.msgid, ruled(e.msgid));
                written.insert(e.msgid);
            } else if (!needsRule(e)) {
                out << e.raw << "\n";
            }
        }
        for (const Entry& e : templ)
            if (e.singular && e.msgid.find(kMarker) != std::string::npos && !written.count(e.msgid)) {
                write(out, e.msgid, ruled(e.msgid));
                written.insert(e.msgid);
            }
        std::ofstream file(argv[3]);
        file << out.str();
        if (!file)
            throw std::runtime_error(std::string("cannot write ") + argv[3]);
    } catch (const std::exception& e) {
        std::cerr << "zilui-pocontext: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
