// Operations, a document and a chief operator for the operation tests. The document is
// a row of text fields; a TTextOperation sets one field (its first key). Every test
// operation counts itself alive, so a leak or a lost ownership shows in LiveOperations.
// The chief operator records its hooks in order and can refuse or throw on demand.
#pragma once

#include <commonvcqx/text/StaticStrings.h>
#include <commonvcqx/undo/ChiefOperator.h>
#include <commonvcqx/undo/StringOperation.h>
#include <commonvcqx/undo/SwitchOperation.h>

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

inline int& LiveOperations() {
    static int live = 0;
    return live;
}

// The test clock: seconds since 1970, set by the tests.
inline int32_t& Now() {
    static int32_t now = 1700000000;
    return now;
}
inline int32_t TestClock() noexcept {
    return Now();
}

namespace templates {
inline const char* g_typingText = "Typing";
inline const char* g_plainText = "Set";
inline const TOperation::TTemplate kTyping("Typing", 0x01 | 0x04, &g_typingText, nullptr);
inline const TOperation::TTemplate kDelayed("Delayed", 0x02 | 0x04, nullptr, nullptr);
inline const TOperation::TTemplate kPlain("Plain", 0x04, &g_plainText, nullptr);
inline const TOperation::TTemplate kRepeatable("Repeat", 0x04 | 0x08, nullptr, nullptr);
inline const TOperation::TTemplate kRepeatMerge("RepeatMerge", 0x01 | 0x04 | 0x08, nullptr,
                                                nullptr);
inline const TOperation::TTemplate kTrivial("Trivial", 0x04 | 0x10, nullptr, nullptr);
inline const TOperation::TTemplate kNotUndoable("NotUndoable", 0, nullptr, nullptr);
inline const TOperation::TTemplate kMacro("Macro", 0x04, nullptr, nullptr);
inline const TOperation::TTemplate kMergingMacro("MergingMacro", 0x01 | 0x04, nullptr, nullptr);
inline const TOperation::TTemplate kTimed("Timed", 0x04 | 0x20, nullptr, nullptr);
}  // namespace templates

struct TDocument {
    std::vector<std::string> fields = std::vector<std::string>(4);
    int changes = 0;
    std::vector<std::string> events;  // "set <field>=<value>" in order
};

class TTextOperation : public TStringOperation {
public:
    TTextOperation(const TTemplate& tmpl, TChiefOperator* chief, TDocument* document, int field,
                   const std::string& value)
        : TStringOperation(tmpl, chief, field, 0, TString(value.c_str())), m_document(document) {
        ++LiveOperations();
    }
    TTextOperation(const TTextOperation& other)
        : TStringOperation(other), m_document(other.m_document) {
        ++LiveOperations();
    }
    TObject* CreateClone(void*) const override { return new TTextOperation(*this); }
    TString GetCurrentValue() const override {
        return TString(m_document->fields[static_cast<size_t>(GetFirstKey())].c_str());
    }
    void SetCurrentValue(const TString& value) override {
        m_document->fields[static_cast<size_t>(GetFirstKey())] = value.c_str();
        m_document->events.push_back("set " + std::to_string(GetFirstKey()) + "=" + value.c_str());
    }
    void OnValueChanged(int32_t) override { ++m_document->changes; }
    char TypeOf(const TOperation& other) const { return IsTypeOf(other); }

protected:
    ~TTextOperation() override { --LiveOperations(); }

private:
    TDocument* m_document;
};

// Does what it is told: execute true or false, or throw in one of its steps.
class TScriptedOperation : public TOperation {
public:
    enum EStep { kNone, kExecute, kUnexecute, kReexecute, kValidate };
    TScriptedOperation(const TTemplate& tmpl, TChiefOperator* chief, std::vector<std::string>* log,
                       std::string name, char result = 1, EStep throwIn = kNone)
        : TOperation(tmpl, chief, 0, 0),
          m_log(log),
          m_name(std::move(name)),
          m_result(result),
          m_throwIn(throwIn) {
        ++LiveOperations();
    }
    TScriptedOperation(const TScriptedOperation& other)
        : TOperation(other),
          m_log(other.m_log),
          m_name(other.m_name + "'"),
          m_result(other.m_result),
          m_throwIn(other.m_throwIn) {
        ++LiveOperations();
    }
    TObject* CreateClone(void*) const override {
        return m_clonable ? new TScriptedOperation(*this) : nullptr;
    }
    char Execute(int32_t argument) override { return Step(kExecute, "do", argument); }
    void Unexecute(int32_t argument) override { Step(kUnexecute, "undo", argument); }
    void Reexecute(int32_t argument) override { Step(kReexecute, "redo", argument); }
    char Validate() override { return Step(kValidate, "validate", 0); }
    TString GetDetailedDescription() const override { return TString(m_name.c_str()); }
    char MergeWithPreviousOperation(TOperation& previous) override {
        m_log->push_back("merge " + m_name + "<-" +
                         static_cast<TScriptedOperation&>(previous).m_name);
        return m_merges;
    }

    std::vector<std::string>* m_log;
    std::string m_name;
    char m_result;
    EStep m_throwIn;
    char m_clonable = 1;
    char m_merges = 1;
    std::function<void()> m_onUndo;

protected:
    ~TScriptedOperation() override { --LiveOperations(); }

private:
    char Step(EStep step, const char* what, int32_t argument) {
        m_log->push_back(std::string(what) + " " + m_name + " " + std::to_string(argument));
        if (step == kUnexecute && m_onUndo) m_onUndo();
        if (step == m_throwIn) throw std::runtime_error("scripted");
        return m_result;
    }
};

// Records its hooks; can refuse submissions or throw from the list-change hook.
class TTestChief : public TChiefOperator {
public:
    explicit TTestChief(int32_t maximumCount = -1, TTimeSpan maximumAge = 0,
                        const TFileName* log = nullptr, const char* name = "Doc")
        : TChiefOperator(name, log, maximumCount, maximumAge) {
        SetClock(&TestClock);
    }
    std::vector<std::string> hooks;
    char refuse = 0;
    bool throwOnChange = false;

    using TChiefOperator::RedoOperation;
    using TChiefOperator::UndoOperation;

protected:
    void OnPreDeleteOperation(TOperation* operation) override {
        hooks.push_back(operation ? "pre-delete" : "pre-delete all");
    }
    void OnPostDeleteOperation() override { hooks.push_back("post-delete"); }
    char OnPreExecuteOperation() override {
        hooks.push_back("pre-execute");
        return refuse ? 0 : 1;
    }
    void OnOperationListChange() override {
        hooks.push_back("change");
        if (throwOnChange) throw std::runtime_error("hook");
    }
    void OnStartSerialChange() override { hooks.push_back("start serial"); }
    void OnEndSerialChange() override { hooks.push_back("end serial"); }
};

// Registers the host's texts 18029, 18030 and 18033 for one test.
class THostTexts {
public:
    explicit THostTexts(const char* detailFormat = "from '%s' to '%s'",
                        const char* undone = "Undone: ", const char* done = "Done: ") {
        const char* texts[3] = {undone, done, detailFormat};
        const int32_t ids[3] = {18029, 18030, 18033};
        size_t entryBytes = 4 * sizeof(TStringEntry);
        size_t textBytes = 0;
        for (const char* t : texts) textBytes += std::strlen(t) + 1;
        m_block.resize((entryBytes + textBytes) / sizeof(TStringEntry) + 1);
        char* base = reinterpret_cast<char*>(m_block.data());
        m_block[0] = {0, 3};
        size_t offset = entryBytes;
        for (int i = 0; i < 3; ++i) {
            m_block[static_cast<size_t>(i) + 1] = {ids[i], int32_t(offset)};
            std::strcpy(base + offset, texts[i]);
            offset += std::strlen(texts[i]) + 1;
        }
        NotifyStringTable(m_block.data());
    }
    THostTexts(const THostTexts&) = delete;
    THostTexts& operator=(const THostTexts&) = delete;
    ~THostTexts() { NotifyStringTable(nullptr); }

private:
    std::vector<TStringEntry> m_block;
};

class OperationFixture : public testing::Test {
protected:
    void SetUp() override {
        LiveOperations() = 0;
        Now() = 1700000000;
    }
    void TearDown() override { EXPECT_EQ(LiveOperations(), 0) << "an operation leaked"; }
};
