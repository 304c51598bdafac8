// TString changes on shared and unshared strings against std::string as a model:
// every string must keep exactly the text the model says, whoever shares it.
#include <commonvcqx/memory/Heap.h>
#include <commonvcqx/text/String.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

class TReader {
public:
    TReader(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    bool Empty() const { return m_pos >= m_size; }
    uint8_t Byte() { return m_pos < m_size ? m_data[m_pos++] : 0; }
    // A short text without NULs (they would end the C text early).
    std::string Text() {
        std::string text;
        for (int n = Byte() % 24; n > 0; --n) text += char(Byte() | 1);
        return text;
    }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
};

constexpr int kSlots = 3;

void Check(const TString& s, const std::string& model) {
    const TStringRef* rep = s.GetStringRef();
    if (rep->length != model.size() || rep->capacity < rep->length + 1 ||
        (rep->heap && (rep->room < rep->capacity ||
                       NH_Heap::GetBlockSize(rep) != sizeof(TStringRef) + rep->room)) ||
        model.compare(0, std::string::npos, s.c_str(), rep->length) != 0 ||
        s.c_str()[rep->length] != '\0')
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TReader in(data, size);
    TString strings[kSlots];
    std::string models[kSlots];
    while (!in.Empty()) {
        uint8_t op = in.Byte();
        int a = in.Byte() % kSlots;
        int b = in.Byte() % kSlots;
        TString& s = strings[a];
        std::string& m = models[a];
        uint32_t pos = in.Byte();
        uint32_t count = in.Byte();
        uint32_t at = std::min<uint32_t>(pos, uint32_t(m.size()));
        switch (op % 20) {
            case 0:
                s = strings[b];
                m = models[b];
                break;
            case 1: {
                std::string text = in.Text();
                s.Append(text.c_str());
                m += text;
                break;
            }
            case 2: {
                std::string text = in.Text();
                s.Insert(pos, text.c_str(), count);
                m.insert(at, text.substr(0, count));
                break;
            }
            case 3:
                s.Remove(pos, count);
                if (pos < m.size()) m.erase(pos, count);
                break;
            case 4:
                s.Append(s);
                m += std::string(m);
                break;
            case 5:
                s.Insert(pos, strings[b], count);
                m.insert(at, models[b].substr(0, count));
                break;
            case 6:
                s.Trim();
                m.erase(0, std::min(m.size(), m.find_first_not_of(" \t")));
                m.erase(m.find_last_not_of(" \t") + 1);
                break;
            case 7:
                s.MakeUpper();
                for (char& c : m) c = char(std::toupper(static_cast<unsigned char>(c)));
                break;
            case 8:
                s.Reverse();
                std::reverse(m.begin(), m.end());
                break;
            case 9:
                s.KeepLeft(count);
                if (m.size() >= count) m.resize(count);
                break;
            case 10:
                s.KeepRight(count);
                if (count < m.size()) m.erase(0, m.size() - count);
                break;
            case 11: {
                char c = char(count | 1);
                s.RemoveAll(c);
                m.erase(std::remove(m.begin(), m.end(), c), m.end());
                break;
            }
            case 12:
                s = strings[b].Mid(std::min<uint32_t>(pos, strings[b].GetLength()), count);
                m = models[b].substr(std::min<size_t>(pos, models[b].size()), count);
                break;
            case 13:
                s.Replace(pos, count, strings[b]);
                {
                    std::string with = models[b];
                    if (pos < m.size()) m.erase(pos, count);
                    m.insert(std::min<size_t>(pos, m.size()), with);
                }
                break;
            case 14:
                if (at < m.size()) {
                    s.SetEnd(at);
                    m.resize(at);
                }
                break;
            case 15:
                s.FreeExtraBufferSize();
                break;
            case 16:
                s.Clear();
                m.clear();
                break;
            case 17:
                s.Append(char(pos | 1), count % 8);
                m.append(count % 8, char(pos | 1));
                break;
            case 18:
                // Text that lies inside the string's own buffer.
                s.Insert(count, s.c_str() + at, pos % 5);
                m.insert(std::min<size_t>(count, m.size()), m.substr(at, pos % 5));
                break;
            default:
                s = strings[b] + models[a].c_str();
                m = models[b] + m;
                break;
        }
        for (int i = 0; i < kSlots; ++i) {
            Check(strings[i], models[i]);
            if (models[i].size() > 65536) {  // self-appends double: keep the run small
                strings[i].Clear();
                models[i].clear();
            }
        }
    }
    return 0;
}
