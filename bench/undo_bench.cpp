// The operation history against a plain std::vector<std::unique_ptr<Command>> history
// and, when Qt 5 is installed, QUndoStack, in the same run: 10 000 and 100 000 typing
// operations that merge into one, as many plain ones under a count limit of 1 000
// (every new one trims the oldest), and undoing then redoing a history of that many.
// Read the "per_op" figures: constant per operation at both sizes means amortized
// O(1). The log file writes 1 000 000 short lines, flushed every 1 000, against
// spdlog's basic file sink (when installed), in $TMPDIR.
#include <commonvcqx/files/LogFile.h>
#include <commonvcqx/platform/Drives.h>
#include <commonvcqx/undo/ChiefOperator.h>
#include <commonvcqx/undo/StringOperation.h>

#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#if CVQ_HAVE_QT
#include <QUndoCommand>
#include <QUndoStack>
#endif
#if CVQ_HAVE_SPDLOG
#include <spdlog/logger.h>
#include <spdlog/pattern_formatter.h>
#include <spdlog/sinks/basic_file_sink.h>
#endif

namespace {

const TOperation::TTemplate g_typing("Typing", 0x01 | 0x04, nullptr, nullptr);
const TOperation::TTemplate g_plain("Plain", 0x04, nullptr, nullptr);

// The document: one text field.
struct TText {
    TString value;
};

class TSetText : public TStringOperation {
public:
    TSetText(const TTemplate& tmpl, TChiefOperator* chief, TText* text, const TString& value)
        : TStringOperation(tmpl, chief, 0, 0, value), m_text(text) {}
    TString GetCurrentValue() const override { return m_text->value; }
    void SetCurrentValue(const TString& value) override { m_text->value = value; }
    void OnValueChanged(int32_t) override {}

private:
    TText* m_text;
};

// The plain peer: the same value swap, with merging of the newest command by type.
class Command {
public:
    virtual ~Command() = default;
    virtual void Do() = 0;
    virtual void Undo() = 0;
    virtual bool MergeWith(const Command& older) = 0;
    virtual int Type() const = 0;
};

class SetTextCommand : public Command {
public:
    SetTextCommand(std::string* text, std::string value, int type)
        : m_text(text), m_value(std::move(value)), m_type(type) {}
    void Do() override { std::swap(*m_text, m_value); }
    void Undo() override { std::swap(*m_text, m_value); }
    bool MergeWith(const Command& older) override {
        m_value = static_cast<const SetTextCommand&>(older).m_value;
        return true;
    }
    int Type() const override { return m_type; }

private:
    std::string* m_text;
    std::string m_value;
    int m_type;
};

class VectorHistory {
public:
    explicit VectorHistory(size_t limit = 0) : m_limit(limit) {}
    void Push(std::unique_ptr<Command> command, bool mergeable) {
        command->Do();
        m_commands.resize(m_cursor);
        if (mergeable && !m_commands.empty() && m_commands.back()->Type() == command->Type() &&
            command->MergeWith(*m_commands.back()))
            m_commands.pop_back();
        m_commands.push_back(std::move(command));
        if (m_limit && m_commands.size() > m_limit) m_commands.erase(m_commands.begin());
        m_cursor = m_commands.size();
    }
    void UndoAll() {
        while (m_cursor > 0) m_commands[--m_cursor]->Undo();
    }
    void RedoAll() {
        while (m_cursor < m_commands.size()) m_commands[m_cursor++]->Do();
    }
    size_t Count() const { return m_commands.size(); }

private:
    std::vector<std::unique_ptr<Command>> m_commands;
    size_t m_cursor = 0;
    size_t m_limit;
};

void PerOp(benchmark::State& state, int64_t operations) {
    state.counters["per_op"] = benchmark::Counter(
        static_cast<double>(operations),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// Each typing step adds one character to a short field (kept short so that the text
// copying stays the same at both sizes).
TString Typed(int i) {
    static const char* const steps[] = {"t", "ty", "typ", "typi", "typin", "typing"};
    return TString(steps[i % 6]);
}

void BM_ChiefMergedTyping(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    for (auto _ : state) {
        TText text;
        TChiefOperator chief("Bench", nullptr, -1, 0);
        for (int i = 0; i < count; ++i)
            (new TSetText(g_typing, &chief, &text, Typed(i)))->Launch(0, 1, nullptr);
        benchmark::DoNotOptimize(chief.GetNumTotalOperations());
    }
    PerOp(state, count);
}
BENCHMARK(BM_ChiefMergedTyping)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_VectorMergedTyping(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    for (auto _ : state) {
        std::string text;
        VectorHistory history;
        for (int i = 0; i < count; ++i)
            history.Push(std::make_unique<SetTextCommand>(&text, Typed(i).c_str(), 1), true);
        benchmark::DoNotOptimize(history.Count());
    }
    PerOp(state, count);
}
BENCHMARK(BM_VectorMergedTyping)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_ChiefTrimmed(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    for (auto _ : state) {
        TText text;
        TChiefOperator chief("Bench", nullptr, 1000, 0);
        for (int i = 0; i < count; ++i)
            (new TSetText(g_plain, &chief, &text, Typed(i)))->Launch(0, 1, nullptr);
        benchmark::DoNotOptimize(chief.GetNumTotalOperations());
    }
    PerOp(state, count);
}
BENCHMARK(BM_ChiefTrimmed)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_VectorTrimmed(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    for (auto _ : state) {
        std::string text;
        VectorHistory history(1000);
        for (int i = 0; i < count; ++i)
            history.Push(std::make_unique<SetTextCommand>(&text, Typed(i).c_str(), 1), false);
        benchmark::DoNotOptimize(history.Count());
    }
    PerOp(state, count);
}
BENCHMARK(BM_VectorTrimmed)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_ChiefUndoRedoAll(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    TText text;
    TChiefOperator chief("Bench", nullptr, -1, 0);
    for (int i = 0; i < count; ++i)
        (new TSetText(g_plain, &chief, &text, Typed(i)))->Launch(0, 1, nullptr);
    for (auto _ : state) {
        chief.UndoAllOperations(0, nullptr);
        chief.RedoAllOperations(0, nullptr);
    }
    PerOp(state, 2 * int64_t{count});
}
BENCHMARK(BM_ChiefUndoRedoAll)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_VectorUndoRedoAll(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    std::string text;
    VectorHistory history;
    for (int i = 0; i < count; ++i)
        history.Push(std::make_unique<SetTextCommand>(&text, Typed(i).c_str(), 1), false);
    for (auto _ : state) {
        history.UndoAll();
        history.RedoAll();
    }
    PerOp(state, 2 * int64_t{count});
}
BENCHMARK(BM_VectorUndoRedoAll)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

#if CVQ_HAVE_QT
class QtSetText : public QUndoCommand {
public:
    QtSetText(std::string* text, std::string value, int id)
        : m_text(text), m_value(std::move(value)), m_id(id) {}
    void redo() override { std::swap(*m_text, m_value); }
    void undo() override { std::swap(*m_text, m_value); }
    int id() const override { return m_id; }
    bool mergeWith(const QUndoCommand*) override { return true; }

private:
    std::string* m_text;
    std::string m_value;
    int m_id;
};

void BM_QtMergedTyping(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    for (auto _ : state) {
        std::string text;
        QUndoStack stack;
        for (int i = 0; i < count; ++i) stack.push(new QtSetText(&text, Typed(i).c_str(), 1));
        benchmark::DoNotOptimize(stack.count());
    }
    PerOp(state, count);
}
BENCHMARK(BM_QtMergedTyping)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_QtTrimmed(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    for (auto _ : state) {
        std::string text;
        QUndoStack stack;
        stack.setUndoLimit(1000);
        for (int i = 0; i < count; ++i) stack.push(new QtSetText(&text, Typed(i).c_str(), -1));
        benchmark::DoNotOptimize(stack.count());
    }
    PerOp(state, count);
}
BENCHMARK(BM_QtTrimmed)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_QtUndoRedoAll(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    std::string text;
    QUndoStack stack;
    for (int i = 0; i < count; ++i) stack.push(new QtSetText(&text, Typed(i).c_str(), -1));
    for (auto _ : state) {
        stack.setIndex(0);
        stack.setIndex(count);
    }
    PerOp(state, 2 * int64_t{count});
}
BENCHMARK(BM_QtUndoRedoAll)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
#endif

// The log: 1 000 000 short lines, written in batches of 1 000.
constexpr int kLines = 1000000;
constexpr int kBatch = 1000;

class TLine : public TLogEntry {
public:
    explicit TLine(const TString& text) : m_text(text) {}
    TString GetLogText() const override { return m_text; }

private:
    TString m_text;
};

std::filesystem::path Scratch(const char* leaf) {
    return std::filesystem::temp_directory_path() / leaf;
}

void BM_LogFileAddEntry(benchmark::State& state) {
    const auto path = Scratch("cvq_undo_bench_log.txt");
    const TString line("12 Mar 2024 10:15:42 Done: Set title (Song)");
    for (auto _ : state) {
        std::filesystem::remove(path);
        TLogFile log(FileNameFromNativePath(path.string()).c_str(), 1, kBatch);
        for (int i = 0; i < kLines; ++i) log.AddEntry(new TLine(line));
    }
    std::filesystem::remove(path);
    PerOp(state, kLines);
}
BENCHMARK(BM_LogFileAddEntry)->Unit(benchmark::kMillisecond);

#if CVQ_HAVE_SPDLOG
void BM_SpdlogBasicFileSink(benchmark::State& state) {
    const auto path = Scratch("cvq_undo_bench_spdlog.txt");
    const std::string line("12 Mar 2024 10:15:42 Done: Set title (Song)");
    for (auto _ : state) {
        std::filesystem::remove(path);
        auto sink = std::make_shared<spdlog::sinks::basic_file_sink_st>(path.string(), true);
        spdlog::logger logger("bench", sink);
        logger.set_formatter(std::make_unique<spdlog::pattern_formatter>(
            "%v", spdlog::pattern_time_type::local, "\r\n"));
        for (int i = 0; i < kLines; ++i) {
            logger.info(line);
            if ((i + 1) % kBatch == 0) logger.flush();
        }
        logger.flush();
    }
    std::filesystem::remove(path);
    PerOp(state, kLines);
}
BENCHMARK(BM_SpdlogBasicFileSink)->Unit(benchmark::kMillisecond);
#endif

}  // namespace

BENCHMARK_MAIN();
