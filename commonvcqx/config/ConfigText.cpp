// TConfig's text form, its files and its path lists. Reading and writing walk the
// tree with a loop, never by recursion, so that nesting cannot exhaust the stack.
#include <commonvcqx/config/Config.h>
#include <commonvcqx/config/internal/KeyName.h>
#include <commonvcqx/files/File.h>
#include <commonvcqx/frame/ExceptionThrower.h>
#include <commonvcqx/memory/Heap.h>
#include <commonvcqx/platform/Drives.h>
#include <commonvcqx/platform/TraceSink.h>
#include <commonvcqx/platform/WinTypes.h>
#include <commonvcqx/streams/OutputMemoryStream.h>
#include <commonvcqx/text/StaticStrings.h>

#include <cstring>
#include <exception>
#include <new>
#include <string>
#include <vector>

using cvq::detail::TrimBlanks;

namespace {

constexpr char kTabs[] = "\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t";

void WriteTabs(TOutputMemoryStream& out, int32_t depth) {
    constexpr int32_t kChunk = int32_t(sizeof kTabs) - 1;
    while (depth > 0) {
        const int32_t count = depth < kChunk ? depth : kChunk;
        out.WriteData(kTabs, uint32_t(count));
        depth -= count;
    }
}

void WriteLine(TOutputMemoryStream& out, int32_t depth, const TString& text) {
    WriteTabs(out, depth);
    out.WriteData(text.c_str(), text.GetLength());
    out.WriteData("\r\n", 2);
}

void WriteBrace(TOutputMemoryStream& out, int32_t depth, const char* brace) {
    WriteTabs(out, depth);
    out.WriteData(brace, 3);
}

// The lines of a block: they end at CR, LF, CR LF or NUL; each is trimmed of blanks
// and empty ones are skipped. One line of lookahead tells group headers. Lines are
// numbered from 1 as an editor numbers them (a NUL counts as a line end).
class TLineSupply {
public:
    TLineSupply(const char* text, unsigned size) noexcept : m_at(text), m_end(text + size) {}

    bool Next(std::string_view& line) noexcept {
        if (m_pending) {
            m_pending = false;
            line = m_lookahead;
            m_lineNumber = m_lookaheadNumber;
            return true;
        }
        return Read(line, m_lineNumber);
    }
    /// The next line is "{"; it is consumed.
    bool TakeOpeningBrace() noexcept {
        if (!m_pending) m_pending = Read(m_lookahead, m_lookaheadNumber);
        if (!m_pending || m_lookahead != "{") return false;
        m_pending = false;
        return true;
    }
    /// The number of the line Next returned last.
    int32_t LineNumber() const noexcept { return m_lineNumber; }
    /// The first line holding a NUL byte, or 0; known for the lines read so far.
    int32_t NulLine() const noexcept { return m_nulLine; }

private:
    bool Read(std::string_view& line, int32_t& number) noexcept {
        while (m_at < m_end) {
            const char* start = m_at;
            while (m_at < m_end && *m_at != '\r' && *m_at != '\n' && *m_at != '\0') ++m_at;
            const char* stop = m_at;
            number = ++m_lines;
            if (m_at < m_end) {
                if (*m_at == '\0' && m_nulLine == 0) m_nulLine = m_lines;
                m_at += (*m_at == '\r' && m_at + 1 < m_end && m_at[1] == '\n') ? 2 : 1;
            }
            line = TrimBlanks(std::string_view(start, size_t(stop - start)));
            if (!line.empty()) return true;
        }
        return false;
    }

    const char* m_at;
    const char* m_end;
    std::string_view m_lookahead;
    bool m_pending = false;
    int32_t m_lines = 0;
    int32_t m_lineNumber = 0;
    int32_t m_lookaheadNumber = 0;
    int32_t m_nulLine = 0;
};

TString StringOf(std::string_view text) {
    return TString(text.data(), 0, 0, uint32_t(text.size()));
}

// 100 ns units of a FILETIME.
uint64_t Ticks(const FILETIME& time) noexcept {
    return (uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime;
}

// A file system that keeps whole seconds shows a stamp cut to the second.
bool SameFileTime(const FILETIME& stamp, const FILETIME& file) noexcept {
    constexpr uint64_t kSecond = 10'000'000;
    const uint64_t a = Ticks(stamp);
    const uint64_t b = Ticks(file);
    if (a == b) return true;
    return b % kSecond == 0 && a / kSecond == b / kSecond;
}

// The folder a file lies in, where the stamp's temporary file is made.
TFileName FolderOf(const TFileName& fileName) {
    std::string text = fileName.c_str();
    const size_t slash = text.find_last_of("\\/");
    if (slash == std::string::npos) return TFileName(TString::GetCurrentPath());
    std::string folder = text.substr(0, slash == 0 ? 1 : slash);
    if (folder[0] == '/') folder = FileNameFromNativePath(folder);
    return TFileName(folder.c_str());
}

struct TBlockGuard {
    void* block;
    ~TBlockGuard() {
        if (block) NH_Heap::FreeMem(block);
    }
};

}  // namespace

char* TConfig::GetAsBlock(unsigned* size) {
    DeleteEmptyGroups();
    TOutputMemoryStream out(2048, 0);
    try {
        WriteLine(out, 0, m_root.Name());
        WriteBrace(out, 0, "{\r\n");
        int32_t depth = 1;
        TConfigKey* parent = &m_root;
        TConfigKey* key = m_root.FirstChild();
        for (;;) {
            if (key) {
                if (key->IsValue()) {
                    WriteTabs(out, depth);
                    out.WriteData(key->Name().c_str(), key->Name().GetLength());
                    if (!key->Value().IsEmpty()) {
                        out.WriteData("=", 1);
                        out.WriteData(key->Value().c_str(), key->Value().GetLength());
                    }
                    out.WriteData("\r\n", 2);
                } else if (key->ChildCount() > 0) {
                    WriteLine(out, depth, key->Name());
                    WriteBrace(out, depth, "{\r\n");
                    ++depth;
                    parent = key;
                    key = key->FirstChild();
                    continue;
                }
                key = key->GetNext();
                continue;
            }
            --depth;
            WriteBrace(out, depth, "}\r\n");
            if (parent == &m_root) break;
            key = parent->GetNext();
            parent = parent->m_parent;
        }
    } catch (...) {
        NH_Heap::FreeMem(out.GetStart());
        throw;
    }
    m_current = &m_root;
    if (size) *size = out.GetCurrentPosition();
    return out.GetStart();
}

void TConfig::ReadText(const char* text, unsigned size, TTextProblem* problem) {
    TLineSupply lines(text, size);
    // Only the earliest departure is kept; the reading itself stays as lenient.
    auto note = [&](int32_t line, const std::string& reason) {
        if (problem && (problem->line == 0 || line < problem->line)) {
            problem->line = line;
            problem->reason = reason.c_str();
        }
    };
    auto quoted = [](std::string_view name) { return "\"" + std::string(name) + "\""; };
    std::vector<int32_t> openedOn;  // the header line of each open group
    std::string_view line;
    int32_t depth = 0;
    bool rootNamed = false;
    bool rootClosed = false;
    bool anyLine = false;
    while (lines.Next(line)) {
        const int32_t number = lines.LineNumber();
        anyLine = true;
        if (line == "}") {
            if (depth == 0) {
                note(number, "a closing brace outside every group");
                break;
            }
            openedOn.pop_back();
            if (--depth > 0)
                MoveUp();
            else
                rootClosed = true;
            continue;
        }
        if (depth == 0 && rootClosed) note(number, "text after the end of the root group");
        bool header = line == "{";
        if (header) {
            // A brace without a header line: the root's, when its name was empty.
            if (depth != 0 || rootNamed) {
                note(number, "an opening brace without a group name before it");
                continue;
            }
            line = std::string_view();
        } else {
            header = lines.TakeOpeningBrace();
        }
        if (header) {
            TString name = StringOf(line);
            for (uint32_t i = 0; i < name.GetLength(); ++i)
                if (name[int(i)] == '/') name.Buffer()[i] = ':';
            if (depth == 0) {
                m_root.SetName(name);
                rootNamed = true;
            } else {
                if (depth >= kMaxTextDepth) {
                    if (lines.NulLine() != 0) note(lines.NulLine(), "a NUL byte in the text");
                    note(number, "groups nested deeper than " + std::to_string(kMaxTextDepth));
                    TExceptionThrower(0).SetAndThrow("Configuration text nested too deeply");
                }
                EnterChild(std::string_view(name.c_str(), name.GetLength()), 0);
            }
            openedOn.push_back(number);
            ++depth;
            continue;
        }
        if (depth == 0) note(number, "a value outside the root group");
        const size_t equals = line.find('=', 1);
        if (equals != std::string_view::npos) {
            const std::string_view name = line.substr(0, equals);
            if (problem && m_current->FindChild(name, TConfigKey::kValueKind))
                note(number, "the value " + quoted(name) + " is set twice in one group");
            SetText(name, StringOf(line.substr(equals + 1)), 0);
        } else {
            AddChild(*this, m_current, StringOf(line), false, 0);
        }
    }
    if (lines.NulLine() != 0) note(lines.NulLine(), "a NUL byte in the text");
    if (!openedOn.empty()) {
        const TString& name = depth > 1 ? m_current->Name() : m_root.Name();
        note(openedOn.back(), "the group " +
                                  quoted(std::string_view(name.c_str(), name.GetLength())) +
                                  " is not closed");
    }
    if (!anyLine) note(1, "no root group");
}

void TConfig::BuildFromTextBlock(const char* text, unsigned size) {
    BuildFromTextBlock(text, size, nullptr);
}

void TConfig::BuildFromTextBlock(const char* text, unsigned size, TTextProblem* problem) {
    if (problem) *problem = TTextProblem();
    if (!text) return;
    Clear();
    m_autoCreate = 1;
    try {
        ReadText(text, size, problem);
    } catch (...) {
        Clear();
        throw;
    }
    m_current = &m_root;
    DeleteEmptyGroups();
    m_current = &m_root;
}

void TConfig::Load(const TFileName& fileName) {
    if (fileName.IsEmpty()) return;
    bool loaded = false;
    try {
        if (TFile::Exist(fileName)) {
            uint32_t size = 0;
            TBlockGuard block{TFile::LoadFile(fileName, &size)};
            BuildFromTextBlock(static_cast<const char*>(block.block), size);
            loaded = true;
            if (m_mode & kFileTimeStamp) {
                FILETIME written{};
                TFile::GetDateTime(fileName, nullptr, nullptr, &written);
                MoveDown("/__System", 0);
                FILETIME stamp{};
                GetBinary(&stamp, nullptr, int(sizeof stamp), "config", 0);
                m_wrongFileTime = SameFileTime(stamp, written) ? 0 : 1;
            }
        }
    } catch (const TException& e) {
        // Short memory is no unreadable file: the caller hears of it, and the emptied
        // tree is never saved over the file by itself.
        if (IsOutOfMemory(e)) {
            m_autoSave = 0;
            throw;
        }
        loaded = false;
    } catch (const std::bad_alloc&) {
        m_autoSave = 0;
        throw;
    } catch (const std::exception&) {
        loaded = false;
    }
    if (!loaded && (m_mode & kThrowIfNotLoaded)) TExceptionThrower(0).SetAndThrow("");
}

void TConfig::SaveBlock(const TFileName& fileName) {
    FILETIME creation{}, access{}, written{};
    const bool stamp = (m_mode & kFileTimeStamp) != 0;
    if (stamp) {
        // A new file in the target's folder gives the file system's own clock and
        // resolution; the saved file gets these times once it is in place.
        TFile probe(FolderOf(fileName),
                    cvq::open_flags::kTempInDirectory | cvq::open_flags::kSystemDeletes);
        probe.GetDateTime(&creation, &access, &written);
        probe.Close();
        MoveDown("/__System", 0);
        SetBinary(&written, int(sizeof written), "config", 0);
    }
    unsigned size = 0;
    TBlockGuard block{GetAsBlock(&size)};
    TFile::SaveFile(fileName, block.block, size);
    if (stamp && !TFile::SetDateTime(fileName, &creation, &access, &written))
        TExceptionThrower(0).SetAndThrow(fileName, TString(GetStaticString(18012)));
}

void TConfig::Save(const TFileName& fileName, char rethrow) {
    if (fileName.IsEmpty()) return;
    try {
        SaveBlock(fileName);
        return;
    } catch (const TException&) {
        if (rethrow) throw;
    } catch (const std::exception&) {
        if (rethrow) throw;
    }
    TString message = fileName;
    message += "\r\n";
    message += GetStaticString(18012);
    TExceptionThrower(1).SetAndThrow(message);
}

void TConfig::AutoSave() noexcept {
    TString why;
    try {
        Save(m_fileName, 1);
        return;
    } catch (const TException& e) {
        if (e.GetMessage()) why = *e.GetMessage();
    } catch (const std::exception& e) {
        why = e.what();
    } catch (...) {
    }
    try {
        TString line = "Configuration not saved: ";
        line += m_fileName;
        if (!why.IsEmpty()) {
            line += ": ";
            line += why;
        }
        TraceLine(line.c_str());
    } catch (...) {
        TraceLine("Configuration not saved");
    }
}

// Path lists.

int TConfig::GetAsPathList(TStringList& lines) const {
    lines.Clear();
    struct TCollect {
        TStringList* lines;
        const TConfigKey* root;
        int count;
    } collect{&lines, &m_root, 0};
    const_cast<TConfig*>(this)->ForEachKey(
        &m_root,
        [](TConfigKey& key, void* data) {
            auto* into = static_cast<TCollect*>(data);
            if (key.IsGroup()) return;
            std::vector<const TConfigKey*> chain;
            for (const TConfigKey* k = &key; k && k != into->root; k = k->GetParent())
                chain.push_back(k);
            TString path;
            for (size_t i = chain.size(); i-- > 0;) {
                path += chain[i]->Name();
                if (i > 0) path += "\\";
            }
            into->lines->Append(new TStringItem<TListElement>(path));
            ++into->count;
        },
        &collect);
    return collect.count;
}

void TConfig::SaveAsPathList(const TFileName& fileName) const {
    TStringList lines;
    GetAsPathList(lines);
    TFile::WriteLines(fileName, lines);
}

void TConfig::LoadFromPathList(const TFileName& fileName) {
    TStringList lines;
    TFile::ReadLines(fileName, lines, 1, 1);
    BuildFromPathList(lines);
}

void TConfig::BuildFromPathList(const TStringList& lines) {
    Clear();
    m_autoCreate = 1;
    for (const auto& item : lines) {
        m_current = &m_root;
        const TString& line = item.GetString();
        std::string_view text(line.c_str(), line.GetLength());
        std::vector<std::string_view> parts;
        for (size_t start = 0; start <= text.size();) {
            size_t slash = text.find('\\', start);
            if (slash == std::string_view::npos) slash = text.size();
            std::string_view part = TrimBlanks(text.substr(start, slash - start));
            if (!part.empty()) parts.push_back(part);
            start = slash + 1;
        }
        for (size_t i = 0; i < parts.size(); ++i) {
            if (i + 1 < parts.size())
                MoveDown(StringOf(parts[i]).c_str(), 0);
            else
                CreateKey(StringOf(parts[i]));
        }
    }
    m_current = &m_root;
}
