// Templates, ids, string and switch operations and macros, on their own.
#include "TestOperations.h"

#include <commonvcqx/undo/MacroOperation.h>
#include <commonvcqx/undo/internal/OperationIds.h>

#include <climits>

using namespace templates;

namespace {

class OperationTest : public OperationFixture {};

class TToggle : public TSwitchOperation {
public:
    TToggle(TChiefOperator* chief, int* executions)
        : TSwitchOperation(kPlain, chief, 0, 0, 1), m_executions(executions) {}
    char Execute(int32_t) override {
        ++*m_executions;
        return 1;
    }
    ~TToggle() override = default;
    char Flag() const { return m_flag; }
    int* m_executions;
};

// A macro the tests may build directly and read.
class TTestMacro : public TMacroOperation {
public:
    using TMacroOperation::TMacroOperation;
    ~TTestMacro() override = default;
};

TTextOperation* Text(TDocument& d, int field, const char* value,
                     const TOperation::TTemplate& t = kPlain) {
    return new TTextOperation(t, nullptr, &d, field, value);
}

}  // namespace

TEST_F(OperationTest, TemplateFlagsAndDescriptions) {
    const struct {
        int32_t given, read;
    } flags[] = {{0x05, 0x45},   {0x85, 0x85},   {0x00, 0x40},
                 {0x100, 0x100}, {0x1C0, 0x1C0}, {0x3F, 0x7F}};
    for (const auto& f : flags)
        EXPECT_EQ(TOperation::TTemplate("T", f.given, nullptr, nullptr).GetFlags(), f.read)
            << f.given;

    TOperation::TTemplate named("Named");
    EXPECT_EQ(named.GetFlags(), 0x40);
    EXPECT_STREQ(named.GetDescription(), "");
    EXPECT_STREQ(named.GetDetailedDescription(), "");

    const char* text = "Cut";
    TOperation::TTemplate described("Cut", 0x04, &text, nullptr);
    EXPECT_STREQ(described.GetDetailedDescription(), "Cut");
    text = "Ausschneiden";  // read through the pointer at each call
    EXPECT_STREQ(described.GetDescription(), "Ausschneiden");
    EXPECT_STREQ(described.GetDetailedDescription(), "Ausschneiden");
    const char* detail = nullptr;
    TOperation::TTemplate nullDetail("N", 0x04, &text, &detail);
    EXPECT_STREQ(nullDetail.GetDetailedDescription(), "");
    EXPECT_STREQ(TOperation::TTemplate(nullptr).GetName(), "");

    TDocument d;
    TTextOperation* op = Text(d, 0, "x", described);
    EXPECT_EQ(op->GetDescription(), "Ausschneiden");
    op->Delete();

    const auto& null = TOperation::TTemplate::GetNullTemplate();
    EXPECT_STREQ(null.GetName(), "__Null__");
    EXPECT_EQ(null.GetFlags(), 0x44);
    EXPECT_STREQ(null.GetDescription(), "");

    TOperation::TTemplate assigned("A");
    assigned = described;
    EXPECT_STREQ(assigned.GetName(), "Cut");
    EXPECT_EQ(assigned.GetFlags(), 0x44);
}

TEST_F(OperationTest, FlagQueries) {
    TDocument d;
    const struct {
        const TOperation::TTemplate* t;
        char atOnce, delay, undoable, repeatable, trivial, timed;
    } cases[] = {
        {&kTyping, 1, 0, 1, 0, 0, 0},      {&kDelayed, 0, 1, 1, 0, 0, 0},
        {&kRepeatMerge, 1, 0, 1, 1, 0, 0}, {&kTrivial, 0, 0, 1, 0, 1, 0},
        {&kNotUndoable, 0, 0, 0, 0, 0, 0}, {&kTimed, 0, 0, 1, 0, 0, 1},
    };
    for (const auto& c : cases) {
        TTextOperation* op = Text(d, 0, "v", *c.t);
        EXPECT_EQ(op->IsMergeableAtOnce(), c.atOnce) << c.t->GetName();
        EXPECT_EQ(op->IsMergeableWithDelay(), c.delay) << c.t->GetName();
        EXPECT_EQ(op->IsMergeable(), c.atOnce || c.delay) << c.t->GetName();
        EXPECT_EQ(op->IsUndoable(), c.undoable) << c.t->GetName();
        EXPECT_EQ(op->IsRepeatable(), c.repeatable) << c.t->GetName();
        EXPECT_EQ(op->IsTrivial(), c.trivial) << c.t->GetName();
        EXPECT_EQ(op->ShouldMeasureTime(), c.timed) << c.t->GetName();
        EXPECT_EQ(op->GetState(), 0);
        EXPECT_EQ(op->GetExecutionTime().GetTime(), 0);
        op->Delete();
    }
}

TEST_F(OperationTest, IdsAreSerialAndNeverZero) {
    TDocument d;
    TTextOperation* a = Text(d, 0, "a");
    TTextOperation* b = Text(d, 0, "b");
    EXPECT_EQ(b->GetId(), a->GetId() + 1);
    auto* copy = static_cast<TTextOperation*>(b->CreateClone(nullptr));
    EXPECT_EQ(copy->GetId(), b->GetId() + 1);
    EXPECT_EQ(copy->GetState(), 0);
    EXPECT_EQ(copy->GetStoredValue(), "b");
    a->Delete();
    b->Delete();
    copy->Delete();

    const struct {
        int32_t last, next;
    } wraps[] = {{-1, 1}, {-2, -1}, {INT32_MAX, INT32_MIN}, {0, 1}};
    for (const auto& w : wraps) {
        cvq::detail::SetLastOperationId(w.last);
        TTextOperation* op = Text(d, 0, "x");
        EXPECT_EQ(op->GetId(), w.next) << w.last;
        op->Delete();
    }
}

TEST_F(OperationTest, TypeNeedsKeysNameAndMacroness) {
    TDocument d;
    TOperation::TTemplate samePlainName("Plain", 0x01 | 0x04, nullptr, nullptr);
    TTextOperation* a = Text(d, 0, "a");
    TTextOperation* b = Text(d, 0, "b");
    TTextOperation* otherKey = Text(d, 1, "c");
    TTextOperation* otherTemplate = Text(d, 0, "d", samePlainName);  // equal names: one type
    TTextOperation* otherName = Text(d, 0, "e", kTyping);
    TTestMacro macro(kPlain, nullptr);
    EXPECT_TRUE(a->TypeOf(*b));
    EXPECT_FALSE(a->TypeOf(*otherKey));
    EXPECT_TRUE(a->TypeOf(*otherTemplate));
    EXPECT_FALSE(a->TypeOf(*otherName));
    EXPECT_FALSE(a->TypeOf(macro));  // same keys and template, but a macro
    for (TOperation* o :
         {static_cast<TOperation*>(a), static_cast<TOperation*>(b),
          static_cast<TOperation*>(otherKey), static_cast<TOperation*>(otherTemplate),
          static_cast<TOperation*>(otherName)})
        o->Delete();
}

TEST_F(OperationTest, StringOperationSwapsAndDescribesOlderFirst) {
    THostTexts texts;
    TDocument d;
    d.fields[0] = "a";
    TTextOperation* same = Text(d, 0, "a");
    EXPECT_FALSE(same->Execute(0));
    EXPECT_TRUE(d.events.empty());
    same->Delete();

    TTextOperation* op = Text(d, 0, "b");
    EXPECT_TRUE(op->Execute(7));
    EXPECT_EQ(d.fields[0], "b");
    EXPECT_EQ(op->GetDetailedDescription(), "from 'a' to 'b'");
    op->Unexecute(0);
    EXPECT_EQ(d.fields[0], "a");
    EXPECT_EQ(op->GetDetailedDescription(), "from 'a' to 'b'");
    op->Reexecute(0);
    EXPECT_EQ(d.fields[0], "b");
    EXPECT_EQ(op->GetDetailedDescription(), "from 'a' to 'b'");
    op->Unexecute(0);
    EXPECT_EQ(d.fields[0], "a");
    EXPECT_EQ(d.changes, 4);

    // Merging takes over the value from before the previous operation.
    d.fields[0] = "1";
    TTextOperation* first = Text(d, 0, "2");
    TTextOperation* second = Text(d, 0, "3");
    first->Execute(0);
    second->Execute(0);
    EXPECT_TRUE(second->MergeWithPreviousOperation(*first));
    EXPECT_EQ(second->GetDetailedDescription(), "from '1' to '3'");
    second->Unexecute(0);
    EXPECT_EQ(d.fields[0], "1");
    int toggles = 0;
    TToggle toggle(nullptr, &toggles);
    EXPECT_FALSE(second->MergeWithPreviousOperation(toggle));  // not a string operation
    for (TOperation* o : {static_cast<TOperation*>(op), static_cast<TOperation*>(first),
                          static_cast<TOperation*>(second)})
        o->Delete();
}

TEST_F(OperationTest, DetailedDescriptionFillsTwoTextsAndNothingElse) {
    TDocument d;
    d.fields[0] = "old";
    const struct {
        const char* format;
        std::string expected;
    } cases[] = {
        {"%s -> %s", "old -> new"},
        {"%d%% %s %n %s %s %x", "%d%% old %n new %s %x"},  // only two texts are filled
        {"no texts", "no texts"},
        {"%s only", "old only"},
        {"", ""},
        {"%s%s", "oldnew"},
        {"trailing %", "trailing %"},
    };
    TTextOperation* op = Text(d, 0, "new");
    op->Execute(0);
    for (const auto& c : cases) {
        THostTexts texts(c.format);
        EXPECT_EQ(std::string(op->GetDetailedDescription().c_str()), c.expected) << c.format;
    }
    op->Delete();

    // Long values are cut at 999 characters, never past the 1 000-byte buffer.
    THostTexts texts("[%s|%s]");
    d.fields[0] = std::string(700, 'a');
    TTextOperation* big = Text(d, 0, std::string(700, 'b').c_str());
    big->Execute(0);
    std::string description = big->GetDetailedDescription().c_str();
    EXPECT_EQ(description.size(), 999u);
    EXPECT_EQ(description,
              ("[" + std::string(700, 'a') + "|" + std::string(700, 'b')).substr(0, 999));
    big->Delete();
}

TEST_F(OperationTest, SwitchExecutesForUndoAndRedoAndNeverMerges) {
    int executions = 0;
    TToggle* toggle = new TToggle(nullptr, &executions);
    TToggle* other = new TToggle(nullptr, &executions);
    toggle->Execute(0);
    toggle->Unexecute(0);
    toggle->Reexecute(0);
    EXPECT_EQ(executions, 3);
    EXPECT_EQ(toggle->Flag(), 1);
    EXPECT_FALSE(toggle->MergeWithPreviousOperation(*other));
    toggle->Delete();
    other->Delete();
}

TEST_F(OperationTest, MacroExecutesInOrderAndUndoesBackwards) {
    TDocument d;
    auto* macro = new TTestMacro(kMacro, nullptr);
    EXPECT_FALSE(macro->Execute(0));  // empty
    EXPECT_EQ(macro->DetachFirstOperation(), nullptr);
    EXPECT_TRUE(macro->IsMacro());
    for (int i = 0; i < 3; ++i) EXPECT_EQ(macro->AddOperation(Text(d, i, "x")), i + 1);
    EXPECT_TRUE(macro->Execute(0));
    macro->Unexecute(0);
    EXPECT_EQ(d.events, (std::vector<std::string>{"set 0=x", "set 1=x", "set 2=x",
                                                  "set 2=", "set 1=", "set 0="}));
    for (TOperation* o = macro->GetFirstOperation(); o; o = macro->GetNextOperation(o))
        EXPECT_EQ(o->GetState(), 2);
    d.events.clear();
    macro->Reexecute(0);
    EXPECT_EQ(d.events, (std::vector<std::string>{"set 0=x", "set 1=x", "set 2=x"}));

    // A macro whose operations all do nothing reports false.
    auto* idle = new TTestMacro(kMacro, nullptr);
    idle->AddOperation(Text(d, 0, "x"));
    EXPECT_FALSE(idle->Execute(0));
    EXPECT_EQ(idle->GetFirstOperation()->GetState(), 0);

    // Detaching hands the operation back outside the macro.
    TOperation* first = macro->DetachFirstOperation();
    EXPECT_EQ(macro->GetNumOperations(), 2);
    auto* again = new TTestMacro(kMacro, nullptr);
    again->AddOperation(first);  // accepted by another macro: it was really released
    again->Delete();
    macro->Delete();
    idle->Delete();
}

TEST_F(OperationTest, MacroClonesWholeOrNotAtAll) {
    TDocument d;
    std::vector<std::string> log;
    auto* macro = new TTestMacro(kMacro, nullptr);
    macro->AddOperation(Text(d, 0, "a"));
    macro->AddOperation(Text(d, 1, "b"));
    auto* clone = static_cast<TMacroOperation*>(macro->CreateClone(nullptr));
    ASSERT_NE(clone, nullptr);
    EXPECT_EQ(clone->GetNumOperations(), 2);
    EXPECT_EQ(clone->GetFirstOperation()->GetFirstKey(), 0);
    EXPECT_NE(clone->GetFirstOperation(), macro->GetFirstOperation());
    EXPECT_TRUE(clone->IsMacro());
    clone->Delete();

    auto* scripted = new TScriptedOperation(kPlain, nullptr, &log, "s");
    scripted->m_clonable = 0;
    macro->AddOperation(scripted);
    EXPECT_EQ(macro->CreateClone(nullptr), nullptr);
    macro->Delete();
}

TEST_F(OperationTest, MacroMergesPositionByPosition) {
    std::vector<std::string> log;
    auto make = [&](std::vector<std::string> names) {
        auto* m = new TTestMacro(kMergingMacro, nullptr);
        for (auto& n : names) m->AddOperation(new TScriptedOperation(kTyping, nullptr, &log, n));
        return m;
    };
    TTestMacro* older = make({"a", "b"});
    TTestMacro* newer = make({"c", "d"});
    TTestMacro* shorter = make({"e"});
    EXPECT_FALSE(newer->MergeWithPreviousOperation(*shorter));
    EXPECT_TRUE(log.empty());
    EXPECT_TRUE(newer->MergeWithPreviousOperation(*older));
    EXPECT_EQ(log, (std::vector<std::string>{"merge c<-a", "merge d<-b"}));

    // A refusal part of the way: false, and the merge made before it stays made.
    log.clear();
    static_cast<TScriptedOperation*>(newer->GetNextOperation(newer->GetFirstOperation()))
        ->m_merges = 0;
    EXPECT_FALSE(newer->MergeWithPreviousOperation(*older));
    EXPECT_EQ(log, (std::vector<std::string>{"merge c<-a", "merge d<-b"}));

    // Another type at one position: nothing is merged.
    log.clear();
    auto* mixed = new TTestMacro(kMergingMacro, nullptr);
    mixed->AddOperation(new TScriptedOperation(kTyping, nullptr, &log, "f"));
    mixed->AddOperation(new TScriptedOperation(kPlain, nullptr, &log, "g"));
    EXPECT_FALSE(newer->MergeWithPreviousOperation(*mixed));
    EXPECT_TRUE(log.empty());
    auto* plain = new TScriptedOperation(kTyping, nullptr, &log, "h");
    EXPECT_FALSE(newer->MergeWithPreviousOperation(*plain));
    for (TOperation* o : {static_cast<TOperation*>(older), static_cast<TOperation*>(newer),
                          static_cast<TOperation*>(shorter), static_cast<TOperation*>(mixed),
                          static_cast<TOperation*>(plain)})
        o->Delete();
}

TEST_F(OperationTest, LaunchWithoutChiefOperatorDeletes) {
    TDocument d;
    EXPECT_FALSE(Text(d, 0, "a")->Launch(0, 1, nullptr));
    EXPECT_FALSE(Text(d, 0, "a")->Store(1, nullptr));
    EXPECT_EQ(d.fields[0], "");
}
