// Writing and reading back 1 000 000 tagged values in 1 000 groups beside Protocol
// Buffers holding the same numbers, measured in the same run; read the results as ratios
// (items per second are values; bytes per second are each format's own encoded bytes).
//
// Then a realistic document: 10 000 objects of numbers, texts, a nested position group
// and a group of tags, kept in a TArrayBase. Each format builds it from the objects and
// seals it (Build), parses it and restores the objects into a new array (Restore), and
// does both with a save to and a load from a file in $TMPDIR in between (RoundTrip);
// both formats save and load through TFile, so the file work is the same.
#include <commonvcqx/containers/ArrayBase.h>
#include <commonvcqx/files/File.h>
#include <commonvcqx/memory/Heap.h>
#include <commonvcqx/platform/Drives.h>
#include <commonvcqx/streams/TaggedInputStream.h>
#include <commonvcqx/streams/TaggedOutputStream.h>
#include <commonvcqx/text/String.h>

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "proto/tagged_bench.pb.h"

namespace {

constexpr int kGroups = 1000;
constexpr int kValuesPerGroup = 1000;
constexpr int64_t kValues = int64_t(kGroups) * kValuesPerGroup;

int32_t ValueAt(int g, int i) {
    return g * 7919 + i * 31;
}

void WriteTagged(TTaggedOutputStream& out) {
    for (int g = 0; g < kGroups; ++g) {
        out.MoveDown("G", g);
        for (int i = 0; i < kValuesPerGroup; ++i) out.SetValue(ValueAt(g, i), "V", i);
        out.MoveUp();
    }
    out.CloseWriting();
}

void BM_TaggedWrite(benchmark::State& state) {
    uint32_t size = 0;
    for (auto _ : state) {
        TTaggedOutputStream out(1, "bench", 1);
        WriteTagged(out);
        size = out.GetSize();
        benchmark::DoNotOptimize(out.GetStart());
    }
    state.SetItemsProcessed(state.iterations() * kValues);
    state.SetBytesProcessed(int64_t(state.iterations()) * size);
}
BENCHMARK(BM_TaggedWrite)->Unit(benchmark::kMillisecond);

void BM_TaggedRead(benchmark::State& state) {
    TTaggedOutputStream out(1, "bench", 1);
    WriteTagged(out);
    std::vector<char> block(out.GetStart(), out.GetStart() + out.GetSize());
    int64_t sum = 0;
    for (auto _ : state) {
        TTaggedInputStream in(1, block.data(), int32_t(block.size()), 0);
        for (int g = 0; g < kGroups; ++g) {
            if (!in.MoveDown("G", g)) state.SkipWithError("group missing");
            for (int i = 0; i < kValuesPerGroup; ++i) sum += in.GetValue(int32_t(0), "V", i);
            in.MoveUp();
        }
    }
    benchmark::DoNotOptimize(sum);
    state.SetItemsProcessed(state.iterations() * kValues);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(block.size()));
}
BENCHMARK(BM_TaggedRead)->Unit(benchmark::kMillisecond);

std::string WriteProtobuf() {
    cvqbench::Document document;
    for (int g = 0; g < kGroups; ++g) {
        cvqbench::Group* group = document.add_groups();
        for (int i = 0; i < kValuesPerGroup; ++i) group->add_values(ValueAt(g, i));
    }
    return document.SerializeAsString();
}

void BM_ProtobufWrite(benchmark::State& state) {
    size_t size = 0;
    for (auto _ : state) {
        std::string bytes = WriteProtobuf();
        size = bytes.size();
        benchmark::DoNotOptimize(bytes.data());
    }
    state.SetItemsProcessed(state.iterations() * kValues);
    state.SetBytesProcessed(int64_t(state.iterations() * size));
}
BENCHMARK(BM_ProtobufWrite)->Unit(benchmark::kMillisecond);

void BM_ProtobufRead(benchmark::State& state) {
    const std::string bytes = WriteProtobuf();
    int64_t sum = 0;
    for (auto _ : state) {
        cvqbench::Document document;
        if (!document.ParseFromString(bytes)) state.SkipWithError("parse failed");
        for (const cvqbench::Group& group : document.groups())
            for (int32_t value : group.values()) sum += value;
    }
    benchmark::DoNotOptimize(sum);
    state.SetItemsProcessed(state.iterations() * kValues);
    state.SetBytesProcessed(int64_t(state.iterations() * bytes.size()));
}
BENCHMARK(BM_ProtobufRead)->Unit(benchmark::kMillisecond);

constexpr int kItems = 10000;

class TItem : public TObject {
public:
    int32_t id = 0;
    double weight = 0;
    int64_t stamp = 0;
    short flags = 0;
    TString name;
    TString note;
    float x = 0, y = 0, z = 0;
    std::vector<TString> tags;

    void WriteState(TTaggedOutputStream& out, int32_t, const char* tag, int index) const override {
        out.MoveDown(tag, index);
        out.SetValue(id, "Id", 0);
        out.SetValue(weight, "Weight", 0);
        out.SetValue(stamp, "Stamp", 0);
        out.SetValue(flags, "Flags", 0);
        out.SetValue(name.c_str(), "Name", 0);
        out.SetValue(note.c_str(), "Note", 0);
        out.MoveDown("Pos", 0);
        out.SetValue(x, "X", 0);
        out.SetValue(y, "Y", 0);
        out.SetValue(z, "Z", 0);
        out.MoveUp();
        out.MoveDown("Tags", 0);
        out.SetValue(int32_t(tags.size()), "Siz", 0);
        for (size_t k = 0; k < tags.size(); ++k) out.SetValue(tags[k].c_str(), "T", int(k));
        out.MoveUp();
        out.MoveUp();
    }
    char RestoreState(TTaggedInputStream& in, int32_t, const char* tag, int index) override {
        if (!in.MoveDown(tag, index)) return 0;
        id = in.GetValue(int32_t(0), "Id", 0);
        weight = in.GetValue(0.0, "Weight", 0);
        stamp = in.GetValue(int64_t(0), "Stamp", 0);
        flags = in.GetValue(short(0), "Flags", 0);
        name = in.GetValue("", "Name", 0);
        note = in.GetValue("", "Note", 0);
        if (in.MoveDown("Pos", 0)) {
            x = in.GetValue(0.0f, "X", 0);
            y = in.GetValue(0.0f, "Y", 0);
            z = in.GetValue(0.0f, "Z", 0);
            in.MoveUp();
        }
        if (in.MoveDown("Tags", 0)) {
            const int32_t count = in.GetValue(int32_t(0), "Siz", 0);
            for (int32_t k = 0; k < count; ++k) tags.push_back(in.GetValue("", "T", k));
            in.MoveUp();
        }
        in.MoveUp();
        return 1;
    }
};

TObject* MakeItem(int32_t) {
    return new TItem;
}

const TArrayBase& Items() {
    static TArrayBase* items = [] {
        auto* array = new TArrayBase(kItems, 1000, 1, MakeItem);
        char text[96];
        for (int i = 0; i < kItems; ++i) {
            auto* item = new TItem;
            item->id = i;
            item->weight = i * 0.25;
            item->stamp = int64_t(i) * 1000003;
            item->flags = short(i % 16);
            std::snprintf(text, sizeof text, "object %d", i);
            item->name = text;
            std::snprintf(text, sizeof text, "note on object %d, of kind %d in layer %d", i, i % 7,
                          i / 100);
            item->note = text;
            item->x = float(i);
            item->y = float(i) / 2;
            item->z = -float(i);
            for (int k = 0; k < 1 + i % 4; ++k) {
                std::snprintf(text, sizeof text, "tag%d", (i + k) % 50);
                item->tags.push_back(TString(text));
            }
            array->Add(item);
        }
        return array;
    }();
    return *items;
}

// The tagged document, sealed: the caller frees the block with NH_Heap::FreeMem.
char* BuildTagged(uint32_t* size) {
    TTaggedOutputStream out(1, "scene", 0);
    out.SetValue("A realistic scene", "Title", 0);
    out.SetValue(int32_t(3), "Version", 0);
    Items().WriteState(out, 0, "Items", 0);
    out.CloseWriting();
    *size = out.GetSize();
    return const_cast<char*>(out.GetStart());
}

void RestoreTagged(TTaggedInputStream& in, TArrayBase& items) {
    benchmark::DoNotOptimize(in.GetValue("", "Title", 0));
    benchmark::DoNotOptimize(in.GetValue(int32_t(0), "Version", 0));
    items.RestoreState(in, 0, "Items", 0);
}

std::string BuildProtobuf() {
    cvqbench::Scene scene;
    scene.set_title("A realistic scene");
    scene.set_version(3);
    const TArrayBase& items = Items();
    for (int32_t i = 0; i < items.GetCount(); ++i) {
        const TItem& item = *static_cast<const TItem*>(items[i]);
        cvqbench::Item* stored = scene.add_items();
        stored->set_id(item.id);
        stored->set_weight(item.weight);
        stored->set_stamp(item.stamp);
        stored->set_flags(item.flags);
        stored->set_name(item.name.c_str(), item.name.GetLength());
        stored->set_note(item.note.c_str(), item.note.GetLength());
        cvqbench::Position* position = stored->mutable_position();
        position->set_x(item.x);
        position->set_y(item.y);
        position->set_z(item.z);
        for (const TString& tag : item.tags) stored->add_tags(tag.c_str(), tag.GetLength());
    }
    return scene.SerializeAsString();
}

void RestoreProtobuf(const char* data, size_t size, TArrayBase& items) {
    cvqbench::Scene scene;
    if (!scene.ParseFromArray(data, int(size))) std::abort();
    benchmark::DoNotOptimize(scene.title().size());
    for (const cvqbench::Item& stored : scene.items()) {
        auto* item = new TItem;
        item->id = stored.id();
        item->weight = stored.weight();
        item->stamp = stored.stamp();
        item->flags = short(stored.flags());
        item->name = TString(stored.name().c_str());
        item->note = TString(stored.note().c_str());
        item->x = stored.position().x();
        item->y = stored.position().y();
        item->z = stored.position().z();
        for (const std::string& tag : stored.tags()) item->tags.push_back(TString(tag.c_str()));
        items.Add(item);
    }
}

// Every object came back.
void CheckRestored(benchmark::State& state, const TArrayBase& items) {
    if (items.GetCount() != kItems ||
        static_cast<const TItem*>(items[kItems - 1])->tags.size() != size_t(1 + (kItems - 1) % 4))
        state.SkipWithError("objects lost");
}

TFileName ScratchFile(const char* leaf) {
    const char* folder = std::getenv("TMPDIR");
    const std::string native = std::string(folder && *folder ? folder : "/tmp") + "/" + leaf;
    return TFileName(FileNameFromNativePath(native).c_str());
}

void BM_SceneBuildTagged(benchmark::State& state) {
    uint32_t size = 0;
    for (auto _ : state) {
        char* block = BuildTagged(&size);
        benchmark::DoNotOptimize(block);
        NH_Heap::FreeMem(block);
    }
    state.SetItemsProcessed(state.iterations() * kItems);
    state.SetBytesProcessed(int64_t(state.iterations()) * size);
}
BENCHMARK(BM_SceneBuildTagged)->Unit(benchmark::kMillisecond);

void BM_SceneBuildProtobuf(benchmark::State& state) {
    size_t size = 0;
    for (auto _ : state) {
        std::string bytes = BuildProtobuf();
        size = bytes.size();
        benchmark::DoNotOptimize(bytes.data());
    }
    state.SetItemsProcessed(state.iterations() * kItems);
    state.SetBytesProcessed(int64_t(state.iterations() * size));
}
BENCHMARK(BM_SceneBuildProtobuf)->Unit(benchmark::kMillisecond);

void BM_SceneRestoreTagged(benchmark::State& state) {
    uint32_t size = 0;
    char* block = BuildTagged(&size);
    for (auto _ : state) {
        TTaggedInputStream in(1, block, int32_t(size), 0);
        TArrayBase items(kItems, 1000, 1, MakeItem);
        RestoreTagged(in, items);
        CheckRestored(state, items);
    }
    NH_Heap::FreeMem(block);
    state.SetItemsProcessed(state.iterations() * kItems);
    state.SetBytesProcessed(int64_t(state.iterations()) * size);
}
BENCHMARK(BM_SceneRestoreTagged)->Unit(benchmark::kMillisecond);

void BM_SceneRestoreProtobuf(benchmark::State& state) {
    const std::string bytes = BuildProtobuf();
    for (auto _ : state) {
        TArrayBase items(kItems, 1000, 1, MakeItem);
        RestoreProtobuf(bytes.data(), bytes.size(), items);
        CheckRestored(state, items);
    }
    state.SetItemsProcessed(state.iterations() * kItems);
    state.SetBytesProcessed(int64_t(state.iterations() * bytes.size()));
}
BENCHMARK(BM_SceneRestoreProtobuf)->Unit(benchmark::kMillisecond);

void BM_SceneRoundTripTagged(benchmark::State& state) {
    const TFileName file = ScratchFile("cvq_tagged_bench_scene.tag");
    uint32_t size = 0;
    for (auto _ : state) {
        {
            TTaggedOutputStream out(1, "scene", 1);
            out.SetValue("A realistic scene", "Title", 0);
            out.SetValue(int32_t(3), "Version", 0);
            Items().WriteState(out, 0, "Items", 0);
            out.SaveAs(file, 0);  // seals, then saves
            size = out.GetSize();
        }
        TTaggedInputStream in(1, file, 1);  // loads, checks length and CRC
        TArrayBase items(kItems, 1000, 1, MakeItem);
        RestoreTagged(in, items);
        CheckRestored(state, items);
    }
    TFile::Delete(file, 0, 1);
    state.SetItemsProcessed(state.iterations() * kItems);
    state.SetBytesProcessed(int64_t(state.iterations()) * size);
}
BENCHMARK(BM_SceneRoundTripTagged)->Unit(benchmark::kMillisecond);

void BM_SceneRoundTripProtobuf(benchmark::State& state) {
    const TFileName file = ScratchFile("cvq_tagged_bench_scene.pb");
    size_t size = 0;
    for (auto _ : state) {
        {
            const std::string bytes = BuildProtobuf();
            TFile::SaveFile(file, bytes.data(), uint32_t(bytes.size()));
            size = bytes.size();
        }
        uint32_t loaded = 0;
        void* data = TFile::LoadFile(file, &loaded);
        TArrayBase items(kItems, 1000, 1, MakeItem);
        RestoreProtobuf(static_cast<const char*>(data), loaded, items);
        NH_Heap::FreeMem(data);
        CheckRestored(state, items);
    }
    TFile::Delete(file, 0, 1);
    state.SetItemsProcessed(state.iterations() * kItems);
    state.SetBytesProcessed(int64_t(state.iterations() * size));
}
BENCHMARK(BM_SceneRoundTripProtobuf)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
