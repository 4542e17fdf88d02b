// SPDX-License-Identifier: GPL-3.0-or-later
#include "textscanner.h"

#include "scanmodel.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <optional>

namespace {

using namespace langscan;

class CScan {
public:
    explicit CScan(const std::vector<SSourceFile>& files)
        : m_files(files)
    {
    }

    SScanResult run();

private:
    const Tokens& tok(std::size_t f) const { return m_files[f].tokens; }
    std::string where(std::size_t f, std::size_t i) const
    {
        return m_files[f].path + ":" + std::to_string(i < tok(f).size() ? tok(f)[i].line : 0);
    }

    void indexFile(std::size_t f);
    void parseStruct(std::size_t f, std::size_t nameAt, std::size_t open);
    void computeVisibility();
    bool sees(std::size_t f, std::size_t definedIn) const;
    std::vector<std::size_t> sinkArgs(const Tokens& t, std::size_t at, std::size_t f) const;
    std::vector<SRange> callArgs(const Tokens& t, std::size_t open) const;
    // Each argument of each call in file f that is passed on to translate.
    void forEachSinkArgument(std::size_t f, const std::function<void(SRange)>& use) const;
    bool deriveSinks();
    bool collectFieldUses();
    void markField(std::size_t f, const std::string& member);
    void collectCalls();
    void collectRows();
    void collectAssignments();
    void collectExpr(std::size_t f, SRange r, bool splitLines);
    void collectItem(std::size_t f, SRange r, bool splitLines);
    std::vector<std::wstring> constantTexts(std::size_t f, const std::string& name) const;
    std::vector<std::wstring> returnedTexts(const std::string& name) const;
    void add(const std::wstring& text, std::size_t f, std::size_t i, bool splitLines);

    const std::vector<SSourceFile>& m_files;
    std::vector<SStruct> m_structs;
    std::vector<SFunction> m_functions;
    std::map<std::string, int> m_commaMacros;
    std::map<std::string, std::set<std::string>> m_methodClasses; // member function name → classes declaring it
    std::map<std::string, std::set<std::size_t>> m_classFiles; // class → files defining its members
    std::vector<std::vector<bool>> m_local; // per token: inside an anonymous namespace
    std::vector<std::set<std::size_t>> m_visible; // per file: files it includes, transitively
    std::set<SSink> m_sinks;
    std::set<std::pair<std::size_t, std::size_t>> m_fields; // (struct, member index)
    SScanResult m_result;
};

void CScan::indexFile(std::size_t f)
{
    const Tokens& t = tok(f);
    std::vector<bool>& local = m_local[f];
    struct SBody {
        std::size_t open;
        std::size_t close;
        std::string name;
    };
    std::vector<SBody> classBodies;
    local.assign(t.size(), false);
    // Anonymous namespaces.
    for (std::size_t i = 0; i + 1 < t.size(); ++i) {
        if (isIdent(t[i], "namespace") && isPunct(t[i + 1], "{")) {
            const std::size_t close = matchClose(t, i + 1);
            for (std::size_t k = i; k < close && k < t.size(); ++k)
                local[k] = true;
        }
    }
    for (std::size_t i = 0; i + 2 < t.size(); ++i) {
        // struct NAME [final] [: bases] {
        if ((isIdent(t[i], "struct") || isIdent(t[i], "class")) && isIdent(t[i + 1])
            && !(i > 0 && isIdent(t[i - 1], "enum"))) {
            std::size_t k = i + 2;
            while (k < t.size() && !isPunct(t[k], "{") && !isPunct(t[k], ";") && !isPunct(t[k], "(")
                && !isPunct(t[k], ")") && !isPunct(t[k], ","))
                ++k;
            if (k < t.size() && isPunct(t[k], "{")) {
                parseStruct(f, i + 1, k);
                classBodies.push_back({ k, matchClose(t, k), t[i + 1].text });
                m_classFiles[t[i + 1].text].insert(f);
            }
        }
        // auto NAME = [captures](params) { body }: a helper like any other, local to its file.
        if (isIdent(t[i]) && isPunct(t[i + 1], "=") && isPunct(t[i + 2], "[")) {
            const std::size_t captures = matchClose(t, i + 2);
            if (captures + 1 < t.size() && isPunct(t[captures + 1], "(")) {
                const std::size_t close = matchClose(t, captures + 1);
                std::size_t k = close + 1;
                while (k < t.size() && !isPunct(t[k], "{") && !isPunct(t[k], ";"))
                    ++k;
                if (k < t.size() && isPunct(t[k], "{")) {
                    SFunction fn;
                    fn.name = t[i].text;
                    fn.file = f;
                    fn.local = true;
                    fn.params = paramNames(t, captures + 2, close);
                    fn.body = { k, matchClose(t, k) };
                    m_functions.push_back(std::move(fn));
                }
            }
        }
        // NAME ( params ) qualifiers { body }
        if (isIdent(t[i]) && isPunct(t[i + 1], "(") && !keywords().contains(t[i].text)
            && !(i > 0 && (isPunct(t[i - 1], ".") || isPunct(t[i - 1], "->")))) {
            const std::size_t close = matchClose(t, i + 1);
            std::size_t k = close + 1;
            while (k < t.size()
                && (isIdent(t[k], "const") || isIdent(t[k], "noexcept") || isIdent(t[k], "override")
                    || isIdent(t[k], "final")))
                ++k;
            if (k >= t.size() || !isPunct(t[k], "{"))
                continue;
            SFunction fn;
            fn.name = t[i].text;
            fn.file = f;
            const bool qualified = i > 0 && isPunct(t[i - 1], "::");
            if (qualified && i > 1 && isIdent(t[i - 2])) {
                fn.cls = t[i - 2].text;
                m_classFiles[fn.cls].insert(f);
            } else {
                // Defined in its class's body: the innermost enclosing one.
                for (const SBody& b : classBodies)
                    if (b.open < i && i < b.close)
                        fn.cls = b.name;
            }
            const bool isStatic = i > 1 && (isIdent(t[i - 2], "static") || (i > 2 && isIdent(t[i - 3], "static")));
            const bool header = m_files[f].path.ends_with(".h");
            fn.local = !header && fn.cls.empty() && (local[i] || isStatic);
            fn.params = paramNames(t, i + 2, close);
            fn.body = { k, matchClose(t, k) };
            m_functions.push_back(std::move(fn));
        }
    }
}

void CScan::parseStruct(std::size_t f, std::size_t nameAt, std::size_t open)
{
    const Tokens& t = tok(f);
    const std::size_t close = matchClose(t, open);
    SStruct s { t[nameAt].text, f, {}, 0 };
    std::size_t start = open + 1;
    std::size_t i = start;
    while (i < close) {
        // Access specifiers.
        if ((isIdent(t[i], "public") || isIdent(t[i], "private") || isIdent(t[i], "protected")) && i + 1 < close
            && isPunct(t[i + 1], ":")) {
            i += 2;
            start = i;
            continue;
        }
        if (isPunct(t[i], "{") || isPunct(t[i], "(") || isPunct(t[i], "[")) {
            const bool paren = isPunct(t[i], "(");
            bool sawParen = paren;
            for (std::size_t q = start; q < i && !sawParen; ++q)
                sawParen = isPunct(t[q], "(");
            const std::size_t end = matchClose(t, i);
            if (isPunct(t[i], "{")
                && (sawParen || isIdent(t[start], "struct") || isIdent(t[start], "class") || isIdent(t[start], "enum")
                    || isIdent(t[start], "union"))) {
                // A member function's body or a nested type: no data member, unless a nested
                // type is followed by a declarator (rare; ignored).
                for (std::size_t q = start; q + 1 < i; ++q)
                    if (sawParen && isIdent(t[q]) && isPunct(t[q + 1], "(")) {
                        m_methodClasses[t[q].text].insert(s.name);
                        break;
                    }
                i = end + 1;
                if (i < close && isPunct(t[i], ";"))
                    ++i;
                start = i;
                continue;
            }
            i = end + 1;
            continue;
        }
        if (isPunct(t[i], ";")) {
            const SRange stmt { start, i };
            bool skip = stmt.begin >= stmt.end;
            for (std::size_t q = stmt.begin; q < stmt.end && !skip; ++q) {
                if (isPunct(t[q], "(") || isIdent(t[q], "static") || isIdent(t[q], "using") || isIdent(t[q], "typedef")
                    || isIdent(t[q], "friend") || isIdent(t[q], "enum") || isIdent(t[q], "struct")
                    || isIdent(t[q], "class"))
                    skip = true;
                if (isPunct(t[q], "=") || isPunct(t[q], "{"))
                    break;
            }
            for (std::size_t q = stmt.begin; q + 1 < stmt.end; ++q)
                if (isIdent(t[q]) && isPunct(t[q + 1], "(")) {
                    m_methodClasses[t[q].text].insert(s.name);
                    break;
                }
            if (!skip) {
                std::size_t declEnd = stmt.end;
                bool defaulted = false;
                for (std::size_t q = stmt.begin; q < stmt.end; ++q)
                    if (isPunct(t[q], "=") || isPunct(t[q], "{") || isPunct(t[q], "[") || isPunct(t[q], ":")) {
                        defaulted = !isPunct(t[q], "[") && !isPunct(t[q], ":");
                        declEnd = q;
                        break;
                    }
                // Several declarators share one type: "int x, y;".
                for (const SRange d : splitTop(t, stmt.begin, declEnd)) {
                    std::string name;
                    for (std::size_t q = d.begin; q < d.end; ++q)
                        if (isIdent(t[q]))
                            name = t[q].text;
                    if (!name.empty())
                        s.members.push_back({ name, isTextType(t, stmt.begin, declEnd), defaulted });
                }
            }
            start = i + 1;
        }
        ++i;
    }
    s.minCount = 0;
    for (std::size_t m = 0; m < s.members.size(); ++m)
        if (!s.members[m].defaulted)
            s.minCount = m + 1;
    if (!s.members.empty())
        m_structs.push_back(std::move(s));
}

void CScan::computeVisibility()
{
    std::map<std::string, std::size_t> byPath;
    for (std::size_t f = 0; f < m_files.size(); ++f)
        byPath[m_files[f].path] = f;
    std::vector<std::set<std::size_t>> direct(m_files.size());
    for (std::size_t f = 0; f < m_files.size(); ++f) {
        const std::string dir = m_files[f].path.substr(0, m_files[f].path.rfind('/') + 1);
        for (const std::string& inc : m_files[f].includes) {
            auto it = byPath.find(inc);
            if (it == byPath.end())
                it = byPath.find(dir + inc);
            if (it != byPath.end())
                direct[f].insert(it->second);
        }
    }
    m_visible.assign(m_files.size(), {});
    for (std::size_t f = 0; f < m_files.size(); ++f) {
        std::vector<std::size_t> todo { f };
        while (!todo.empty()) {
            const std::size_t g = todo.back();
            todo.pop_back();
            if (!m_visible[f].insert(g).second)
                continue;
            for (const std::size_t h : direct[g])
                todo.push_back(h);
        }
    }
}

bool CScan::sees(std::size_t f, std::size_t definedIn) const
{
    return m_visible[f].contains(definedIn);
}

// The arguments of the call whose "(" is at open; an argument that is a macro
// expanding to several counts that many times.
std::vector<SRange> CScan::callArgs(const Tokens& t, std::size_t open) const
{
    std::vector<SRange> out;
    for (const SRange r : splitTop(t, open + 1, matchClose(t, open))) {
        out.push_back(r);
        if (r.end - r.begin >= 3 && isIdent(t[r.begin]) && isPunct(t[r.begin + 1], "(")
            && matchClose(t, r.begin + 1) == r.end - 1)
            if (const auto m = m_commaMacros.find(t[r.begin].text); m != m_commaMacros.end())
                out.insert(out.end(), static_cast<std::size_t>(m->second), r);
    }
    return out;
}

std::vector<std::size_t> CScan::sinkArgs(const Tokens& t, std::size_t at, std::size_t f) const
{
    const std::string& name = t[at].text;
    const bool viaObject
        = at > 0 && (isPunct(t[at - 1], ".") || (isPunct(t[at - 1], "->") && !(at > 1 && isIdent(t[at - 2], "this"))));
    std::vector<std::size_t> out;
    for (auto it = m_sinks.lower_bound({ name, 0, std::nullopt, {} }); it != m_sinks.end() && it->name == name; ++it) {
        if (it->file && *it->file != f)
            continue;
        if (!it->cls.empty()) {
            // Another class has a member of this name: only calls from the class's own files count.
            const auto files = m_classFiles.find(it->cls);
            if (viaObject || files == m_classFiles.end() || !files->second.contains(f))
                continue;
        }
        if (std::find(out.begin(), out.end(), it->arg) == out.end())
            out.push_back(it->arg);
    }
    return out;
}

bool CScan::deriveSinks()
{
    bool grew = false;
    for (const SFunction& fn : m_functions) {
        const Tokens& t = tok(fn.file);
        auto paramIndex = [&](std::size_t i) -> std::optional<std::size_t> {
            if (!isIdent(t[i])
                || (i > 0 && (isPunct(t[i - 1], ".") || isPunct(t[i - 1], "->") || isPunct(t[i - 1], "::"))))
                return std::nullopt;
            if (i + 1 < t.size() && (isPunct(t[i + 1], "(") || isPunct(t[i + 1], "::")))
                return std::nullopt;
            const auto at = std::find(fn.params.begin(), fn.params.end(), t[i].text);
            if (at == fn.params.end())
                return std::nullopt;
            return static_cast<std::size_t>(at - fn.params.begin());
        };
        auto addSink = [&](std::size_t p) {
            const auto declared = m_methodClasses.find(fn.name);
            // A member whose name other classes or free functions also use only takes its own class's calls.
            const bool ambiguous = !fn.cls.empty()
                && ((declared != m_methodClasses.end() && declared->second.size() > 1)
                    || std::any_of(m_functions.begin(), m_functions.end(),
                        [&](const SFunction& o) { return o.name == fn.name && o.cls != fn.cls; }));
            const SSink sink { fn.name, p, fn.local ? std::optional<std::size_t>(fn.file) : std::nullopt,
                ambiguous ? fn.cls : std::string() };
            grew |= m_sinks.insert(sink).second;
        };
        for (std::size_t i = fn.body.begin; i + 1 < fn.body.end; ++i) {
            if (isIdent(t[i]) && isPunct(t[i + 1], "(")) {
                const auto args = sinkArgs(t, i, fn.file);
                if (args.empty())
                    continue;
                const auto pieces = callArgs(t, i + 1);
                for (const std::size_t a : args) {
                    if (a >= pieces.size())
                        continue;
                    for (std::size_t q = pieces[a].begin; q < pieces[a].end; ++q)
                        if (const auto p = paramIndex(q))
                            addSink(*p);
                }
            }
            // x.member = param; with a translated member.
            if ((isPunct(t[i], ".") || isPunct(t[i], "->")) && isIdent(t[i + 1]) && i + 3 < fn.body.end
                && isPunct(t[i + 2], "=")
                && translatedMember(
                    m_structs, m_fields, [&](std::size_t g) { return sees(fn.file, g); }, t[i + 1].text))
                if (const auto p = paramIndex(i + 3); p && isPunct(t[i + 4], ";"))
                    addSink(*p);
        }
    }
    return grew;
}

void CScan::markField(std::size_t f, const std::string& member)
{
    for (std::size_t s = 0; s < m_structs.size(); ++s) {
        if (!sees(f, m_structs[s].file))
            continue;
        for (std::size_t m = 0; m < m_structs[s].members.size(); ++m)
            if (m_structs[s].members[m].name == member && m_structs[s].members[m].text)
                m_fields.insert({ s, m });
    }
}

bool CScan::collectFieldUses()
{
    const std::size_t before = m_fields.size();
    for (std::size_t f = 0; f < m_files.size(); ++f) {
        const Tokens& t = tok(f);
        forEachSinkArgument(f, [&](SRange arg) {
            // Every member read in the argument: cond ? a.x : b.y.
            for (std::size_t q = arg.begin; q + 1 < arg.end; ++q)
                if (const auto m = lastMember(t, { q, arg.end });
                    m && (isPunct(t[q], ".") || isPunct(t[q], "->")) && t[q + 1].text == *m)
                    markField(f, *m);
        });
    }
    // A translated member's place in a row holding another member: that one too.
    const auto fields = m_fields;
    for (const auto& [s, m] : fields) {
        const SStruct& st = m_structs[s];
        for (std::size_t f = 0; f < m_files.size(); ++f) {
            if (!sees(f, st.file))
                continue;
            const Tokens& t = tok(f);
            for (std::size_t i = 0; i < t.size(); ++i) {
                if (!isPunct(t[i], "{"))
                    continue;
                const std::size_t close = matchClose(t, i);
                const auto items = splitTop(t, i + 1, close);
                if (items.size() != st.members.size()
                    && !(items.size() >= std::max(st.minCount, m + 1) && items.size() <= st.members.size()))
                    continue;
                if (hasTopLevel(t, { i + 1, close }, ";") || m >= items.size())
                    continue;
                if (const auto other = lastMember(t, items[m]))
                    markField(f, *other);
            }
        }
    }
    return m_fields.size() != before;
}

std::vector<std::wstring> CScan::constantTexts(std::size_t f, const std::string& name) const
{
    auto lookIn = [&](std::size_t g) {
        std::vector<std::wstring> out;
        const Tokens& t = tok(g);
        for (std::size_t i = 0; i + 1 < t.size(); ++i) {
            if (!isIdent(t[i]) || t[i].text != name || (i > 0 && (isPunct(t[i - 1], ".") || isPunct(t[i - 1], "->"))))
                continue;
            // The declaration's type, back to the statement start.
            std::size_t s = i;
            while (s > 0 && !isPunct(t[s - 1], ";") && !isPunct(t[s - 1], "{") && !isPunct(t[s - 1], "}"))
                --s;
            if (s == i || !isTextType(t, s, i))
                continue;
            bool call = false;
            for (std::size_t q = s; q < i; ++q)
                call |= isPunct(t[q], "(");
            if (call)
                continue; // a parameter, not a constant
            std::size_t k = i + 1;
            if (isPunct(t[k], "["))
                k = matchClose(t, k) + 1;
            if (k >= t.size() || !(isPunct(t[k], "=") || isPunct(t[k], "{")))
                continue;
            if (isPunct(t[k], "="))
                ++k;
            if (k >= t.size())
                continue;
            std::size_t end = k;
            if (isPunct(t[k], "{"))
                end = matchClose(t, k);
            else
                while (end < t.size() && !isPunct(t[end], ";") && !isPunct(t[end], ","))
                    ++end;
            std::wstring run;
            bool inRun = false;
            for (std::size_t q = k; q < end; ++q) {
                if (t[q].kind == TokKind::String && t[q].wide) {
                    run += t[q].value;
                    inRun = true;
                } else if (inRun) {
                    out.push_back(run);
                    run.clear();
                    inRun = false;
                }
            }
            if (inRun)
                out.push_back(run);
            if (!out.empty())
                return out;
        }
        return out;
    };
    if (auto own = lookIn(f); !own.empty())
        return own;
    for (const std::size_t g : m_visible[f])
        if (g != f)
            if (auto other = lookIn(g); !other.empty())
                return other;
    return {};
}

std::vector<std::wstring> CScan::returnedTexts(const std::string& name) const
{
    std::vector<std::wstring> out;
    for (const SFunction& fn : m_functions) {
        if (fn.name != name || !fn.params.empty())
            continue;
        const Tokens& t = tok(fn.file);
        for (std::size_t i = fn.body.begin; i + 1 < fn.body.end; ++i) {
            if (!isIdent(t[i], "return"))
                continue;
            std::wstring run;
            bool any = false;
            for (std::size_t q = i + 1; q < fn.body.end && !isPunct(t[q], ";"); ++q)
                if (t[q].kind == TokKind::String && t[q].wide) {
                    run += t[q].value;
                    any = true;
                }
            if (any)
                out.push_back(run);
        }
    }
    return out;
}

void CScan::add(const std::wstring& text, std::size_t f, std::size_t i, bool splitLines)
{
    if (splitLines && text.find(L'\n') != std::wstring::npos) {
        std::size_t start = 0;
        while (start <= text.size()) {
            const std::size_t nl = std::min(text.find(L'\n', start), text.size());
            if (nl > start)
                add(text.substr(start, nl - start), f, i, false);
            start = nl + 1;
        }
        return;
    }
    if (!hasLetter(text))
        return;
    auto& where = m_result.texts[text];
    const std::string at = this->where(f, i);
    if (std::find(where.begin(), where.end(), at) == where.end())
        where.push_back(at);
}

// The literals an expression evaluates to: a literal, a constant, either branch of ?:.
void CScan::collectExpr(std::size_t f, SRange r, bool splitLines)
{
    const Tokens& t = tok(f);
    bool joined = false;
    {
        int depth = 0;
        for (std::size_t i = r.begin; i < r.end; ++i) {
            if (isOpen(t[i]))
                ++depth;
            else if (isClose(t[i]))
                --depth;
            else if (depth == 0 && isPunct(t[i], "+"))
                joined = true;
        }
    }
    std::wstring run;
    std::size_t runAt = r.begin;
    bool inRun = false;
    auto flush = [&] {
        if (!inRun)
            return;
        if (joined) {
            if (hasLetter(run))
                m_result.composites.push_back(where(f, runAt) + ": \"" + wideToUtf8(run) + "\"");
        } else {
            add(run, f, runAt, splitLines);
        }
        run.clear();
        inRun = false;
    };
    for (std::size_t i = r.begin; i < r.end; ++i) {
        if (t[i].kind == TokKind::String && t[i].wide) {
            if (!inRun)
                runAt = i;
            run += t[i].value;
            inRun = true;
            continue;
        }
        flush();
        if (!isIdent(t[i])
            || (i > r.begin && (isPunct(t[i - 1], ".") || isPunct(t[i - 1], "->") || isPunct(t[i - 1], "::"))))
            continue;
        std::size_t next = i + 1;
        if (next < r.end && isPunct(t[next], "["))
            next = matchClose(t, next) + 1;
        std::vector<std::wstring> texts;
        if (next + 1 < r.end && isPunct(t[next], "(") && isPunct(t[next + 1], ")"))
            texts = returnedTexts(t[i].text); // chartText(): what its overrides return
        else if (next < r.end
            && (isPunct(t[next], "(") || isPunct(t[next], ".") || isPunct(t[next], "->") || isPunct(t[next], "::")))
            continue;
        else
            texts = constantTexts(f, t[i].text);
        for (const std::wstring& text : texts) {
            if (joined)
                m_result.composites.push_back(where(f, i) + ": " + t[i].text + " \"" + wideToUtf8(text) + "\"");
            else
                add(text, f, i, splitLines);
        }
    }
    flush();
}

void CScan::collectItem(std::size_t f, SRange r, bool splitLines)
{
    // Designated ".member = value" items carry the value after the "=".
    const Tokens& t = tok(f);
    if (r.end - r.begin > 2 && isPunct(t[r.begin], ".") && isPunct(t[r.begin + 2], "="))
        r.begin += 3;
    collectExpr(f, r, splitLines);
}

void CScan::forEachSinkArgument(std::size_t f, const std::function<void(SRange)>& use) const
{
    const Tokens& t = tok(f);
    for (std::size_t i = 0; i + 1 < t.size(); ++i) {
        if (!isIdent(t[i]) || !isPunct(t[i + 1], "("))
            continue;
        const auto args = sinkArgs(t, i, f);
        if (args.empty())
            continue;
        const auto pieces = callArgs(t, i + 1);
        for (const std::size_t a : args)
            if (a < pieces.size())
                use(pieces[a]);
    }
}

void CScan::collectCalls()
{
    for (std::size_t f = 0; f < m_files.size(); ++f)
        forEachSinkArgument(f, [&](SRange arg) { collectExpr(f, arg, false); });
}

void CScan::collectRows()
{
    for (const auto& [s, m] : m_fields) {
        const SStruct& st = m_structs[s];
        for (std::size_t f = 0; f < m_files.size(); ++f) {
            if (!sees(f, st.file))
                continue;
            const Tokens& t = tok(f);
            for (std::size_t i = 0; i < t.size(); ++i) {
                if (!isPunct(t[i], "{"))
                    continue;
                // Function and lambda bodies are no rows.
                if (i > 0
                    && (isPunct(t[i - 1], ")") || isIdent(t[i - 1], "const") || isIdent(t[i - 1], "override")
                        || isIdent(t[i - 1], "else") || isIdent(t[i - 1], "do") || isIdent(t[i - 1], "try")
                        || isIdent(t[i - 1], "noexcept") || isIdent(t[i - 1], "mutable")))
                    continue;
                const std::size_t close = matchClose(t, i);
                if (hasTopLevel(t, { i + 1, close }, ";"))
                    continue;
                const auto items = splitTop(t, i + 1, close);
                const bool designated = std::any_of(items.begin(), items.end(), [&](SRange r) {
                    return r.end - r.begin > 2 && isPunct(t[r.begin], ".") && isPunct(t[r.begin + 2], "=");
                });
                if (designated)
                    continue; // handled with the assignments
                if (items.size() < std::max(st.minCount, m + 1) || items.size() > st.members.size())
                    continue;
                bool combo = false;
                for (std::size_t q = i + 1; q < close; ++q)
                    combo |= isIdent(t[q], "ComboBox");
                collectItem(f, items[m], combo);
            }
        }
    }
}

void CScan::collectAssignments()
{
    for (std::size_t f = 0; f < m_files.size(); ++f) {
        const Tokens& t = tok(f);
        for (std::size_t i = 0; i + 2 < t.size(); ++i) {
            if (!(isPunct(t[i], ".") || isPunct(t[i], "->")) || !isIdent(t[i + 1]) || !isPunct(t[i + 2], "="))
                continue;
            if (!translatedMember(
                    m_structs, m_fields, [&](std::size_t g) { return sees(f, g); }, t[i + 1].text))
                continue;
            std::size_t end = i + 3;
            int depth = 0;
            while (end < t.size()) {
                if (isOpen(t[end]))
                    ++depth;
                else if (isClose(t[end]) && --depth < 0)
                    break;
                else if (depth == 0 && (isPunct(t[end], ";") || isPunct(t[end], ",")))
                    break;
                ++end;
            }
            collectExpr(f, { i + 3, end }, false);
        }
    }
}

SScanResult CScan::run()
{
    m_local.resize(m_files.size());
    for (const SSourceFile& file : m_files)
        for (const auto& [name, commas] : file.commaMacros)
            m_commaMacros[name] = commas;
    for (std::size_t f = 0; f < m_files.size(); ++f)
        indexFile(f);
    computeVisibility();
    m_sinks.insert({ "translate", 0, std::nullopt, {} });
    // Sinks and translated members feed each other: repeat until both settle.
    for (int round = 0; round < 50; ++round) {
        const bool sinks = deriveSinks();
        const bool fields = collectFieldUses();
        if (!sinks && !fields)
            break;
    }
    if (std::getenv("KORVANA_LANGTOOL_DEBUG")) {
        for (const SSink& sink : m_sinks)
            std::fprintf(stderr, "sink %s/%zu%s%s%s\n", sink.name.c_str(), sink.arg, sink.file ? " in " : "",
                sink.file ? m_files[*sink.file].path.c_str() : "", sink.cls.empty() ? "" : (" of " + sink.cls).c_str());
        for (const auto& [st, m] : m_fields)
            std::fprintf(stderr, "member %s::%s (%s)\n", m_structs[st].name.c_str(),
                m_structs[st].members[m].name.c_str(), m_files[m_structs[st].file].path.c_str());
    }
    collectCalls();
    collectRows();
    collectAssignments();
    std::sort(m_result.composites.begin(), m_result.composites.end());
    m_result.composites.erase(
        std::unique(m_result.composites.begin(), m_result.composites.end()), m_result.composites.end());
    return std::move(m_result);
}

} // namespace

bool hasLetter(const std::wstring& text)
{
    for (const wchar_t c : text) {
        if ((c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'))
            return true;
        if ((c >= 0xC0 && c <= 0x24F && c != 0xD7 && c != 0xF7) || (c >= 0x370 && c <= 0x52F)
            || (c >= 0xE00 && c <= 0xE7F))
            return true;
    }
    return false;
}

void CTextScanner::addFile(const std::string& path, const std::string& content)
{
    m_files.push_back(tokenizeSource(path, content));
}

SScanResult CTextScanner::scan() const
{
    return CScan(m_files).run();
}
