// The history: submission, limits, merging, undo, redo, repeat, series, macro
// recording, hooks, ownership, and the log lines.
#include "TestOperations.h"

#include "../support/ScratchFolder.h"

#include <commonvcqx/files/FileName.h>
#include <commonvcqx/undo/MacroOperation.h>

#include <clocale>
#include <cstdlib>
#include <ctime>
#include <sstream>

using namespace templates;
using TStrings = std::vector<std::string>;

namespace {

class ChiefOperatorTest : public OperationFixture {
protected:
    TScriptedOperation* Op(TChiefOperator& chief, const char* name,
                           const TOperation::TTemplate& t = kPlain, char result = 1,
                           TScriptedOperation::EStep throwIn = TScriptedOperation::kNone) {
        return new TScriptedOperation(t, &chief, &m_log, name, result, throwIn);
    }
    TTextOperation* Text(TChiefOperator& chief, int field, const char* value,
                         const TOperation::TTemplate& t = kTyping) {
        return new TTextOperation(t, &chief, &m_document, field, value);
    }
    TStrings m_log;
    TDocument m_document;
};

std::string NameOf(const TOperation* o) {
    if (auto* s = dynamic_cast<const TScriptedOperation*>(o)) return s->m_name;
    if (auto* t = dynamic_cast<const TTextOperation*>(o))
        return "f" + std::to_string(t->GetFirstKey()) + ":" + t->GetStoredValue().c_str();
    return o->IsMacro() ? "M" : "?";
}

// The history oldest first, with "|" where the cursor is.
std::string History(const TChiefOperator& chief) {
    TStrings undoable;
    for (TOperation* o = chief.GetFirstUndoableOperation(); o;
         o = chief.GetPreviousUndoableOperation(o))
        undoable.insert(undoable.begin(), NameOf(o));
    std::string text;
    for (auto& n : undoable) text += n + " ";
    text += "|";
    for (TOperation* o = chief.GetFirstRedoableOperation(); o;
         o = chief.GetNextRedoableOperation(o))
        text += " " + NameOf(o);
    return text;
}

}  // namespace

TEST_F(ChiefOperatorTest, CountLimitKeepsTheNewest) {
    TTestChief chief(3);
    for (const char* n : {"a", "b", "c", "d"}) EXPECT_TRUE(Op(chief, n)->Launch(0, 1, nullptr));
    EXPECT_EQ(History(chief), "b c d |");
    EXPECT_EQ(chief.GetNumTotalOperations(), 3);
    EXPECT_EQ(chief.ExistChanges(), 4);
    chief.ResetChangeCounter();
    EXPECT_EQ(chief.ExistChanges(), 0);

    TTestChief none(0);
    EXPECT_TRUE(Op(none, "a")->Launch(0, 1, nullptr));
    EXPECT_EQ(m_log, (TStrings{"do a 0", "do b 0", "do c 0", "do d 0", "do a 0"}));
    EXPECT_EQ(none.GetNumTotalOperations(), 0);
    EXPECT_FALSE(none.CanUndoOperation());

    // A lowered limit applies from the next operation on; a trivial one at the top of
    // a full history makes room too.
    chief.SetMaximumCount(2);
    Op(chief, "e")->Launch(0, 1, nullptr);
    EXPECT_EQ(History(chief), "d e |");
    chief.SetMaximumCount(-1);
    for (const char* n : {"f", "g", "h"}) Op(chief, n)->Launch(0, 1, nullptr);
    EXPECT_EQ(History(chief), "d e f g h |");
}

TEST_F(ChiefOperatorTest, NotUndoableOrNotKeptEmptiesTheHistory) {
    TTestChief chief;
    Op(chief, "a")->Launch(0, 1, nullptr);
    Op(chief, "b")->Launch(0, 1, nullptr);
    chief.hooks.clear();
    EXPECT_TRUE(Op(chief, "x", kNotUndoable)->Launch(5, 1, nullptr));
    EXPECT_EQ(History(chief), "|");
    EXPECT_EQ(chief.hooks, (TStrings{"pre-execute", "pre-delete", "post-delete", "pre-delete all",
                                     "post-delete", "change"}));
    Op(chief, "c")->Launch(0, 1, nullptr);
    EXPECT_TRUE(Op(chief, "d")->Launch(0, 0, nullptr));  // not kept
    EXPECT_EQ(History(chief), "|");
    EXPECT_FALSE(chief.HasNonTrivialUndoableOperations());
}

TEST_F(ChiefOperatorTest, AgeLimitDropsOldOperationsOnTheInjectedClock) {
    TTestChief chief(-1, TTimeSpan(3600));
    Op(chief, "old")->Launch(0, 1, nullptr);
    Now() += 1800;
    Op(chief, "half")->Launch(0, 1, nullptr);
    Now() += 5400;                            // "old" is two hours old, "half" 1.5 hours
    EXPECT_EQ(History(chief), "old half |");  // nothing is dropped until one enters
    Op(chief, "new")->Launch(0, 1, nullptr);
    EXPECT_EQ(History(chief), "new |");
    EXPECT_EQ(chief.GetFirstUndoableOperation()->GetExecutionTime().GetTime(), Now());

    // Exactly at the limit an operation stays.
    Now() += 3600;
    Op(chief, "next")->Launch(0, 1, nullptr);
    EXPECT_EQ(History(chief), "new next |");
    chief.SetMaximumAge(0);
    Now() += 100000;
    Op(chief, "late")->Launch(0, 1, nullptr);
    EXPECT_EQ(History(chief), "new next late |");
}

TEST_F(ChiefOperatorTest, NonTrivialSubmissionDiscardsTheRedoable) {
    TTestChief chief;
    for (const char* n : {"a", "b", "c"}) Op(chief, n)->Launch(0, 1, nullptr);
    EXPECT_TRUE(chief.UndoOperation(0, nullptr));
    EXPECT_TRUE(chief.UndoOperation(0, nullptr));
    EXPECT_EQ(History(chief), "a | b c");
    EXPECT_EQ(chief.GetNumUndoableOperations(), 1);
    EXPECT_EQ(chief.GetNumRedoableOperations(), 2);
    Op(chief, "t", kTrivial)->Launch(0, 1, nullptr);
    EXPECT_EQ(History(chief), "a t | b c");
    EXPECT_TRUE(chief.HasNonTrivialUndoableOperations());
    Op(chief, "d")->Launch(0, 1, nullptr);  // also drops the trivial one on top
    EXPECT_EQ(History(chief), "a d |");
    EXPECT_FALSE(chief.CanRedoOperation());

    TTestChief trivialOnly;
    Op(trivialOnly, "t", kTrivial)->Launch(0, 1, nullptr);
    EXPECT_TRUE(trivialOnly.CanUndoOperation());
    EXPECT_FALSE(trivialOnly.HasNonTrivialUndoableOperations());
    EXPECT_EQ(trivialOnly.FindLastNonTrivialUndoableOperationId(), 0);
}

TEST_F(ChiefOperatorTest, RepeatableMergingUndoMergesTheRunFirst) {
    TTestChief chief;
    for (const char* n : {"a", "b", "c"}) Op(chief, n, kRepeatMerge)->Launch(0, 1, nullptr);
    // Repeatable ones are not absorbed by the new one; the older ones merge among
    // themselves.
    EXPECT_EQ(History(chief), "b c |");
    m_log.clear();
    EXPECT_TRUE(chief.UndoOperation(0, nullptr));
    EXPECT_EQ(m_log, (TStrings{"merge c<-b", "undo c 0"}));
    EXPECT_EQ(History(chief), "| c");
}

TEST_F(ChiefOperatorTest, Positions) {
    TTestChief chief;
    EXPECT_EQ(chief.GetUndoableOperation(0), nullptr);
    EXPECT_EQ(chief.GetUndoDescription(0), "");
    for (const char* n : {"a", "b", "c", "d"}) Op(chief, n)->Launch(0, 1, nullptr);
    chief.UndoOperation(0, nullptr);
    EXPECT_EQ(NameOf(chief.GetUndoableOperation(0)), "c");
    EXPECT_EQ(NameOf(chief.GetUndoableOperation(-1)), "b");
    EXPECT_EQ(NameOf(chief.GetUndoableOperation(5)), "c");
    EXPECT_EQ(chief.GetUndoableOperation(-3), nullptr);
    EXPECT_EQ(NameOf(chief.GetRedoableOperation(0)), "d");
    EXPECT_EQ(NameOf(chief.GetRedoableOperation(-2)), "d");
    EXPECT_EQ(chief.GetRedoableOperation(1), nullptr);
    EXPECT_EQ(chief.GetUndoDescription(0), "Set");
    EXPECT_EQ(chief.GetRedoDescription(0), "Set");
    EXPECT_EQ(chief.GetRedoDescription(1), "");

    int32_t newest = chief.GetUndoableOperation(0)->GetId();
    int32_t oldest = chief.GetUndoableOperation(-2)->GetId();
    EXPECT_EQ(chief.FindUndoableOperationAfter(newest), nullptr);
    EXPECT_EQ(NameOf(chief.FindUndoableOperationAfter(oldest)), "b");
    EXPECT_EQ(chief.FindUndoableOperationAfter(-12345), nullptr);
    EXPECT_EQ(chief.FindUndoableOperation(chief.GetRedoableOperation(0)->GetId()), nullptr);
    EXPECT_EQ(NameOf(chief.FindLastNonTrivialUndoableOperation()), "c");
    EXPECT_EQ(chief.FindLastNonTrivialUndoableOperationId(), newest);
    EXPECT_EQ(chief.GetName(), "Doc");
}

TEST_F(ChiefOperatorTest, UndoRedoAndRepeat) {
    TTestChief chief;
    EXPECT_TRUE(chief.UndoOperation(0, nullptr));  // nothing to do
    EXPECT_TRUE(chief.RedoOperation(0, nullptr));
    Op(chief, "a")->Launch(1, 1, nullptr);
    Op(chief, "r", kRepeatable)->Launch(2, 1, nullptr);
    EXPECT_TRUE(chief.CanRepeatOperation());
    EXPECT_TRUE(chief.RepeatOperation(3, nullptr));
    EXPECT_EQ(History(chief), "a r r' |");
    EXPECT_TRUE(chief.UndoOperation(4, nullptr));
    EXPECT_FALSE(chief.CanRepeatOperation());  // something is redoable
    EXPECT_EQ(chief.GetRepeatDescription(), "");
    EXPECT_TRUE(chief.RepeatOperation(5, nullptr));  // nothing to repeat: true
    EXPECT_TRUE(chief.RedoOperation(6, nullptr));
    EXPECT_EQ(m_log, (TStrings{"do a 1", "do r 2", "do r' 3", "undo r' 4", "redo r' 6"}));
    auto* last = static_cast<TScriptedOperation*>(chief.GetUndoableOperation(0));
    EXPECT_EQ(last->GetState(), 1);
    last->m_clonable = 0;
    EXPECT_TRUE(chief.RepeatOperation(7, nullptr));  // no clone: nothing submitted
    EXPECT_EQ(chief.GetNumTotalOperations(), 3);
    chief.UndoOperation(0, nullptr);
    EXPECT_EQ(last->GetState(), 2);
    EXPECT_EQ(chief.ExistChanges(), 6);
}

TEST_F(ChiefOperatorTest, FailuresAndRefusalsDeleteTheOperation) {
    TTestChief chief;
    Op(chief, "a")->Launch(0, 1, nullptr);
    EXPECT_FALSE(Op(chief, "no", kPlain, 0)->Launch(0, 1, nullptr));
    EXPECT_FALSE(
        Op(chief, "throw", kPlain, 1, TScriptedOperation::kExecute)->Launch(0, 1, nullptr));
    EXPECT_FALSE(Op(chief, "invalid", kPlain, 0)->Store(1, nullptr));
    EXPECT_FALSE(Op(chief, "vthrow", kPlain, 1, TScriptedOperation::kValidate)->Store(1, nullptr));
    EXPECT_EQ(History(chief), "a |");
    EXPECT_EQ(LiveOperations(), 1);
    chief.refuse = 1;
    EXPECT_FALSE(Op(chief, "refused")->Launch(0, 1, nullptr));
    EXPECT_FALSE(chief.SubmitOperation(nullptr, 1, 0, 1, nullptr));
    chief.refuse = 0;
    EXPECT_TRUE(chief.SubmitOperation(nullptr, 1, 0, 1, nullptr));
    EXPECT_EQ(LiveOperations(), 1);
    EXPECT_TRUE(Op(chief, "stored")->Store(1, nullptr));
    EXPECT_EQ(m_log.back(), "validate stored 0");
    EXPECT_EQ(History(chief), "a stored |");

    // Undo and redo that throw leave the history as it was.
    Op(chief, "u", kPlain, 1, TScriptedOperation::kUnexecute)->Launch(0, 1, nullptr);
    EXPECT_FALSE(chief.UndoOperation(0, nullptr));
    EXPECT_EQ(History(chief), "a stored u |");
    EXPECT_EQ(chief.GetUndoableOperation(0)->GetState(), 1);
    Op(chief, "r", kPlain, 1, TScriptedOperation::kReexecute)->Launch(0, 1, nullptr);
    EXPECT_TRUE(chief.UndoOperation(0, nullptr));
    EXPECT_FALSE(chief.RedoOperation(0, nullptr));
    EXPECT_EQ(History(chief), "a stored u | r");
}

TEST_F(ChiefOperatorTest, BusyGuards) {
    TTestChief chief;
    Op(chief, "a")->Launch(0, 1, nullptr);
    auto* b = Op(chief, "b");
    char inner = 1;
    b->m_onUndo = [&] { inner = chief.UndoOperation(0, nullptr); };
    b->Launch(0, 1, nullptr);
    EXPECT_TRUE(chief.UndoOperation(0, nullptr));
    EXPECT_FALSE(inner);  // undo inside an undo
    EXPECT_EQ(History(chief), "a | b");

    // A hook that throws does not keep undo and redo switched off.
    chief.throwOnChange = true;
    EXPECT_THROW(chief.UndoOperation(0, nullptr), std::runtime_error);
    chief.throwOnChange = false;
    EXPECT_EQ(History(chief), "| a b");
    EXPECT_TRUE(chief.RedoOperation(0, nullptr));
    EXPECT_EQ(History(chief), "a | b");
}

TEST_F(ChiefOperatorTest, SeriesStopAtTheTargetAndRefuseStrangers) {
    TTestChief chief;
    for (const char* n : {"a", "b", "c", "d"}) Op(chief, n)->Launch(0, 1, nullptr);
    TOperation* b = chief.GetUndoableOperation(-2);
    chief.hooks.clear();
    EXPECT_TRUE(chief.UndoUntilOperation(b, 0, nullptr));
    EXPECT_EQ(History(chief), "a | b c d");
    EXPECT_EQ(chief.hooks.front(), "start serial");
    EXPECT_EQ(chief.hooks.back(), "end serial");
    EXPECT_FALSE(chief.IsInSerialChange());

    // Not in the undoable part: false, nothing undone, no series announced.
    chief.hooks.clear();
    EXPECT_FALSE(chief.UndoUntilOperation(chief.GetRedoableOperation(1), 0, nullptr));
    EXPECT_EQ(History(chief), "a | b c d");
    EXPECT_TRUE(chief.hooks.empty());
    TScriptedOperation* stranger = Op(chief, "x");
    EXPECT_FALSE(chief.UndoUntilOperation(stranger, 0, nullptr));
    EXPECT_FALSE(chief.RedoUntilOperation(stranger, 0, nullptr));
    EXPECT_FALSE(chief.RedoUntilOperation(chief.GetUndoableOperation(0), 0, nullptr));
    stranger->Delete();

    EXPECT_TRUE(chief.RedoUntilOperation(chief.GetRedoableOperation(1), 0, nullptr));
    EXPECT_EQ(History(chief), "a b c | d");
    EXPECT_TRUE(chief.RedoAllOperations(0, nullptr));
    EXPECT_EQ(History(chief), "a b c d |");
    EXPECT_TRUE(chief.UndoAllOperations(0, nullptr));
    EXPECT_EQ(History(chief), "| a b c d");

    // A failing undo ends the series with false.
    chief.RedoAllOperations(0, nullptr);
    Op(chief, "bad", kPlain, 1, TScriptedOperation::kUnexecute)->Launch(0, 1, nullptr);
    Op(chief, "e")->Launch(0, 1, nullptr);
    EXPECT_FALSE(chief.UndoAllOperations(0, nullptr));
    EXPECT_EQ(History(chief), "a b c d bad | e");
}

TEST_F(ChiefOperatorTest, SeriesTargetMergedAwayStopsWithItsHeir) {
    TTestChief chief;
    Op(chief, "p")->Launch(0, 1, nullptr);
    for (const char* n : {"a", "b", "c"}) Op(chief, n, kRepeatMerge)->Launch(0, 1, nullptr);
    TOperation* a = chief.GetUndoableOperation(-1);  // "b" absorbed "a" when "c" came
    EXPECT_EQ(NameOf(a), "b");
    EXPECT_TRUE(chief.UndoUntilOperation(a, 0, nullptr));  // "c" absorbs "b" and is undone
    EXPECT_EQ(History(chief), "p | c");
}

TEST_F(ChiefOperatorTest, Timing) {
    TTestChief chief;
    double seconds = -1;
    Op(chief, "a")->Launch(0, 1, &seconds);
    EXPECT_EQ(seconds, 0);  // not measured
    seconds = -1;
    Op(chief, "t", kTimed)->Launch(0, 1, &seconds);
    EXPECT_GE(seconds, 0);
    seconds = -1;
    chief.UndoAllOperations(0, &seconds);
    EXPECT_GE(seconds, 0);
    seconds = -1;
    EXPECT_TRUE(chief.SubmitOperation(nullptr, 1, 0, 1, &seconds));
    EXPECT_GE(seconds, 0);

    // Nothing timed: refused, recorded into a macro, or a series that does not start.
    seconds = -1;
    chief.refuse = 1;
    EXPECT_FALSE(Op(chief, "refused", kTimed)->Launch(0, 1, &seconds));
    EXPECT_EQ(seconds, 0);
    chief.refuse = 0;
    seconds = -1;
    TScriptedOperation* stranger = Op(chief, "x", kTimed);
    EXPECT_FALSE(chief.UndoUntilOperation(stranger, 0, &seconds));
    EXPECT_EQ(seconds, 0);
    stranger->Delete();
    chief.StartMacroRecording(kMacro, 0);
    seconds = -1;
    EXPECT_TRUE(Op(chief, "recorded", kTimed)->Launch(0, 1, &seconds));
    EXPECT_EQ(seconds, 0);
    chief.ValidateMacroRecording(0, 0, 0);
}

TEST_F(ChiefOperatorTest, MacroRecording) {
    TTestChief chief;
    EXPECT_TRUE(chief.ValidateMacroRecording(1, 0, 0));  // none running
    EXPECT_TRUE(chief.StartMacroRecording(kMacro, 0));
    EXPECT_FALSE(chief.StartMacroRecording(kMacro, 1));
    Op(chief, "a")->Launch(0, 1, nullptr);
    Op(chief, "b")->Launch(0, 1, nullptr);
    EXPECT_TRUE(m_log.empty());  // not executed while recording
    EXPECT_TRUE(chief.ValidateMacroRecording(1, 9, 1));
    EXPECT_EQ(m_log, (TStrings{"do a 9", "do b 9"}));
    EXPECT_EQ(History(chief), "M |");
    chief.UndoOperation(0, nullptr);
    EXPECT_EQ(m_log.back(), "undo a 0");

    // One operation with unwrapping: the operation itself enters the history.
    m_log.clear();
    chief.StartMacroRecording(kMacro, 1);
    Op(chief, "c")->Launch(1, 1, nullptr);
    EXPECT_EQ(m_log, (TStrings{"do c 1"}));
    EXPECT_FALSE(Op(chief, "failed", kPlain, 0)->Launch(2, 1, nullptr));
    EXPECT_TRUE(chief.ValidateMacroRecording(1, 0, 1));
    EXPECT_EQ(History(chief), "c |");
    EXPECT_EQ(m_log.back(), "validate c 0");

    // Rejected after executing: undone backwards, nothing kept.
    m_log.clear();
    chief.StartMacroRecording(kMacro, 1);
    for (const char* n : {"d", "e", "f"}) Op(chief, n)->Launch(0, 1, nullptr);
    EXPECT_TRUE(chief.ValidateMacroRecording(0, 0, 0));
    EXPECT_EQ(m_log, (TStrings{"do d 0", "do e 0", "do f 0", "undo f 0", "undo e 0", "undo d 0"}));
    EXPECT_EQ(History(chief), "c |");

    // Rejected without executing, and an accepted empty macro: nothing happens.
    m_log.clear();
    chief.StartMacroRecording(kMacro, 0);
    Op(chief, "g")->Launch(0, 1, nullptr);
    EXPECT_TRUE(chief.ValidateMacroRecording(0, 0, 0));
    chief.StartMacroRecording(kMacro, 0);
    EXPECT_TRUE(chief.ValidateMacroRecording(1, 0, 0));
    EXPECT_TRUE(m_log.empty());
    EXPECT_EQ(History(chief), "c |");

    // A recording left running is deleted with the chief operator.
    chief.StartMacroRecording(kMacro, 0);
    Op(chief, "h")->Launch(0, 1, nullptr);
}

TEST_F(ChiefOperatorTest, UndoAndRedoInsideAMacro) {
    TTestChief chief;
    chief.StartMacroRecording(kMacro, 0);
    Op(chief, "a")->Launch(0, 1, nullptr);
    Op(chief, "b")->Launch(0, 1, nullptr);
    chief.ValidateMacroRecording(1, 0, 0);
    auto* macro = static_cast<TMacroOperation*>(chief.GetUndoableOperation(0));
    TOperation* b = macro->GetNextOperation(macro->GetFirstOperation());
    // Undoing one operation of a macro takes it out of the macro to the redo side.
    EXPECT_TRUE(chief.UndoOperation(b, 0));
    EXPECT_EQ(History(chief), "M | b");
    EXPECT_EQ(macro->GetNumOperations(), 1);
    TOperation* a = macro->GetFirstOperation();
    EXPECT_TRUE(chief.UndoOperation(a, 0));  // the emptied macro goes
    EXPECT_EQ(History(chief), "| a b");
    EXPECT_TRUE(chief.RedoOperation(0, nullptr));
    EXPECT_TRUE(chief.RedoOperation(0, nullptr));
    EXPECT_EQ(History(chief), "a b |");
}

TEST_F(ChiefOperatorTest, CleanupResetsEverything) {
    TTestChief chief;
    for (const char* n : {"a", "b", "c"}) Op(chief, n)->Launch(0, 1, nullptr);
    chief.UndoOperation(0, nullptr);
    chief.hooks.clear();
    chief.CleanupHistory(1);
    EXPECT_EQ(chief.hooks, (TStrings{"pre-delete all", "post-delete", "change"}));
    EXPECT_FALSE(chief.CanUndoOperation());
    EXPECT_FALSE(chief.CanRedoOperation());
    EXPECT_EQ(chief.GetNumTotalOperations(), 0);
    EXPECT_TRUE(chief.UndoOperation(0, nullptr));
    EXPECT_TRUE(chief.RedoOperation(0, nullptr));  // the cursor went with the list
    chief.SetMaximumCount(1);
    Op(chief, "d")->Launch(0, 1, nullptr);
    Op(chief, "e")->Launch(0, 1, nullptr);
    EXPECT_EQ(History(chief), "e |");  // the count restarted at zero
    chief.hooks.clear();
    chief.CleanupHistory(0);
    EXPECT_EQ(chief.hooks, (TStrings{"pre-delete all", "post-delete"}));
}

class ChiefOperatorLogTest : public ChiefOperatorTest {
protected:
    void SetUp() override {
        ChiefOperatorTest::SetUp();
        ::setenv("TZ", "UTC0", 1);
        ::tzset();
        m_name = m_folder.Name("history.log").c_str();
    }
    void TearDown() override {
        ::unsetenv("TZ");
        ::tzset();
        ChiefOperatorTest::TearDown();
    }
    std::string Read() const { return m_folder.Get("history.log"); }
    cvq::test::TScratchFolder m_folder{"cvq_undo"};
    TFileName m_name;
};

TEST_F(ChiefOperatorLogTest, MergingAtOnceAndWithDelay) {
    THostTexts texts("%s>%s");
    {
        TTestChief chief(-1, 0, &m_name, "");
        for (const char* v : {"a", "ab", "abc"}) Text(chief, 0, v)->Launch(0, 1, nullptr);
        EXPECT_EQ(History(chief), "f0: |");  // one operation holding the value before all
        EXPECT_TRUE(chief.UndoOperation(0, nullptr));
        EXPECT_EQ(m_document.fields[0], "");
        EXPECT_TRUE(chief.RedoOperation(0, nullptr));
        EXPECT_EQ(m_document.fields[0], "abc");

        for (const char* v : {"x", "xy"}) Text(chief, 1, v, kDelayed)->Launch(0, 1, nullptr);
        EXPECT_EQ(History(chief), "f0: f1: f1:x |");  // still separate
        Op(chief, "p")->Launch(0, 1, nullptr);
        EXPECT_EQ(History(chief), "f0: f1: p |");
        chief.UndoOperation(0, nullptr);
        chief.UndoOperation(0, nullptr);
        EXPECT_EQ(m_document.fields[1], "");

        // Without delayed compressing, operations mergeable with delay stop a run.
        chief.EnableDelayedCompressing(0);
        Text(chief, 2, "1", kDelayed)->Launch(0, 1, nullptr);
        Text(chief, 2, "2", kDelayed)->Launch(0, 1, nullptr);
        Op(chief, "q")->Launch(0, 1, nullptr);
        EXPECT_EQ(History(chief), "f0: f2: f2:1 q |");
    }
    // Logged: the string operations of a run only once it ends, with their newest
    // texts; plain operations as they come.
    std::istringstream in(Read());
    TStrings lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line.substr(line.find(' ', 12) + 1));
    EXPECT_EQ(lines, (TStrings{"Done: >abc\r", "Done: >xy\r", "Done: p\r", "Undone: p\r",
                               "Done: >abc\r", "Done: 1>2\r", "Done: q\r", "Done: \r"}));
}

TEST_F(ChiefOperatorLogTest, LinesAreExact) {
    THostTexts texts("'%s' to '%s'", "undone ", "done ");
    // A locale with other month names and separators changes nothing.
    const char* german = std::setlocale(LC_ALL, "de_DE.UTF-8");
    {
        TTestChief chief(-1, 0, &m_name, "Song");
        Text(chief, 0, "a", kPlain)->Launch(0, 1, nullptr);
        Now() += 61;
        chief.UndoOperation(0, nullptr);
        Now() += 3600 * 24 * 40;
        chief.RedoOperation(0, nullptr);
        EXPECT_EQ(Read(), "");  // batches of 1000
    }
    if (german) std::setlocale(LC_ALL, "C");
    const std::string first =
        "14 Nov 2023 22:13:20 done '' to 'a' (Song)\r\n"
        "14 Nov 2023 22:14:21 undone '' to 'a' (Song)\r\n"
        "24 Dec 2023 22:14:21 done '' to 'a' (Song)\r\n"
        "24 Dec 2023 22:14:21 done  (Song)\r\n";
    EXPECT_EQ(Read(), first);

    // Appended to the existing file; an unnamed history adds no name; a macro logs its
    // operations one by one and itself never.
    {
        TTestChief chief(-1, 0, &m_name, "");
        chief.StartMacroRecording(kMacro, 0);
        Text(chief, 1, "x", kPlain)->Launch(0, 1, nullptr);
        Text(chief, 2, "y", kPlain)->Launch(0, 1, nullptr);
        chief.ValidateMacroRecording(1, 0, 0);
        chief.UndoOperation(0, nullptr);
        chief.CleanupHistory(0);  // nothing undoable: no closing line; logging ends
        Text(chief, 3, "z", kPlain)->Launch(0, 1, nullptr);
    }
    EXPECT_EQ(Read(), first +
                          "24 Dec 2023 22:14:21 done '' to 'x'\r\n"
                          "24 Dec 2023 22:14:21 done '' to 'y'\r\n"
                          "24 Dec 2023 22:14:21 undone '' to 'y'\r\n"
                          "24 Dec 2023 22:14:21 undone '' to 'x'\r\n");
}

TEST_F(ChiefOperatorLogTest, CleanupWhileRecordingKeepsTheClosingLineOutOfTheMacro) {
    THostTexts texts;
    TTestChief chief(-1, 0, &m_name, "");
    Op(chief, "a")->Launch(0, 1, nullptr);
    chief.StartMacroRecording(kMacro, 0);
    Op(chief, "b")->Launch(0, 1, nullptr);
    chief.CleanupHistory(0);
    EXPECT_TRUE(chief.IsRecordingMacro());
    EXPECT_EQ(Read(), "14 Nov 2023 22:13:20 Done: a\r\n14 Nov 2023 22:13:20 Done: \r\n");
    EXPECT_TRUE(chief.ValidateMacroRecording(1, 0, 1));
    EXPECT_EQ(History(chief), "b |");
    EXPECT_EQ(m_log, (TStrings{"do a 0", "do b 0"}));
}

TEST_F(ChiefOperatorLogTest, ABypassedLogTakesNothing) {
    TFileName bad("C:\\no\\such\\folder\\x.log");
    TTestChief chief(-1, 0, &bad, "");
    for (int i = 0; i < 2500; ++i) Op(chief, "a")->Launch(0, 1, nullptr);
    chief.UndoAllOperations(0, nullptr);
}
