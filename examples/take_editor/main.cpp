// take_editor: a small terminal editor of a list of takes, the kind of program to copy
// when starting an application on the library. It opens (or creates) a tagged document
// of takes, edits it through an undo history and saves it; its settings (the last
// file, the name of new takes) live in a configuration file.
//
//   $ take_editor songs.cvq
//   takes> add intro
//   takes> rename 1 verse
//   takes> undo
//   takes> save
//   takes> quit
//
// The settings file is $XDG_CONFIG_HOME/take_editor.cfg, else ~/.config/take_editor.cfg.
// Without a file argument the last file edited is opened again.
#include <commonvcqx/config/Config.h>
#include <commonvcqx/containers/FlexList.h>
#include <commonvcqx/files/File.h>
#include <commonvcqx/frame/Exception.h>
#include <commonvcqx/platform/Drives.h>
#include <commonvcqx/streams/TaggedInputStream.h>
#include <commonvcqx/streams/TaggedOutputStream.h>
#include <commonvcqx/undo/ChiefOperator.h>
#include <commonvcqx/undo/StringOperation.h>

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>

namespace {

class TTake : public TListElement {
public:
    explicit TTake(const TString& name = TString()) : m_name(name) {}
    void WriteState(TTaggedOutputStream& out, int32_t, const char* name, int index) const override {
        out.MoveDown(name, index);
        out.SetValue(m_name.c_str(), "Nm", 0);
        out.MoveUp();
    }
    char RestoreState(TTaggedInputStream& in, int32_t, const char* name, int index) override {
        if (!in.MoveDown(name, index)) return 0;
        m_name = in.GetValue("", "Nm", 0);
        in.MoveUp();
        return 1;
    }
    static TObject* Make(int32_t) { return new TTake; }

    TString m_name;
};

using TTakes = TFlexList<TTake>;

// Each operation owns its take exactly while its effect keeps the take out of the list.
const char* g_addText = "add";
const char* g_renameText = "rename";
const char* g_deleteText = "delete";
const TOperation::TTemplate g_add("AddTake", TOperation::kUndoable, &g_addText, nullptr);
const TOperation::TTemplate g_rename("RenameTake", TOperation::kUndoable, &g_renameText, nullptr);
const TOperation::TTemplate g_delete("DeleteTake", TOperation::kUndoable, &g_deleteText, nullptr);

class TAddOperation : public TOperation {
public:
    TAddOperation(TChiefOperator* chief, TTakes& takes, const TString& name)
        : TOperation(g_add, chief, 0, 0), m_takes(takes), m_take(new TTake(name)), m_out(m_take) {}
    char Execute(int32_t) override {
        m_takes.Append(m_out.release());
        return 1;
    }
    void Unexecute(int32_t) override { m_out.reset(m_takes.Detach(m_take)); }
    TString GetDescription() const override { return TString("add ") + m_take->m_name; }

private:
    TTakes& m_takes;
    TTake* m_take;
    std::unique_ptr<TTake> m_out;
};

class TDeleteOperation : public TOperation {
public:
    TDeleteOperation(TChiefOperator* chief, TTakes& takes, TTake* take)
        : TOperation(g_delete, chief, 0, 0), m_takes(takes), m_take(take) {}
    char Execute(int32_t) override {
        m_index = m_takes.FindIndexOfElement(m_take);
        m_out.reset(m_takes.Detach(m_take));
        return 1;
    }
    void Unexecute(int32_t) override {
        if (TTake* next = m_takes.Element(m_index))
            m_takes.InsertBefore(m_out.release(), next);
        else
            m_takes.Append(m_out.release());
    }
    TString GetDescription() const override { return TString("delete ") + m_take->m_name; }

private:
    TTakes& m_takes;
    TTake* m_take;
    int32_t m_index = -1;
    std::unique_ptr<TTake> m_out;
};

// Undo and redo swap the two names.
class TRenameOperation : public TStringOperation {
public:
    TRenameOperation(TChiefOperator* chief, TTake* take, const TString& name)
        : TStringOperation(g_rename, chief, 0, 0, name), m_take(take) {}
    TString GetCurrentValue() const override { return m_take->m_name; }
    void SetCurrentValue(const TString& value) override { m_take->m_name = value; }
    void OnValueChanged(int32_t) override {}
    // The stored name is the older one while the rename is in effect.
    TString GetDescription() const override {
        const bool undone = GetState() == 2;
        const TString& older = undone ? m_take->m_name : GetStoredValue();
        const TString& newer = undone ? GetStoredValue() : m_take->m_name;
        TString text("rename ");
        text += older;
        text += " to ";
        text += newer;
        return text;
    }

private:
    TTake* m_take;
};

// A native file name as the library names it: "C:\home\ann\songs.cvq" (C: is "/").
TFileName LibraryName(const std::string& native) {
    const std::filesystem::path full = std::filesystem::absolute(native).lexically_normal();
    return TFileName(FileNameFromNativePath(full.string()).c_str());
}

TFileName SettingsFileName() {
    std::string folder;
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && *config == '/')
        folder = config;
    else if (const char* home = std::getenv("HOME"); home && *home == '/')
        folder = std::string(home) + "/.config";
    else
        return TFileName();
    return LibraryName(folder + "/take_editor.cfg");
}

class TEditor {
public:
    TEditor() : m_takes(1, TTake::Make) {}

    // Opens `name`, or the last file, or "takes.cvq"; false when it cannot be read.
    bool Open(const char* name) {
        m_settingsFile = SettingsFileName();
        if (!m_settingsFile.IsEmpty()) m_settings.Load(m_settingsFile);
        m_settings.MoveToRoot();
        m_defaultName = m_settings.GetValue("take", "DefaultName", 0);
        const int32_t steps = m_settings.GetSure(int32_t(100), 1, 10000, "UndoSteps", 0);
        m_history = std::make_unique<TChiefOperator>("Takes", nullptr, steps, TTimeSpan(0));

        m_file = name ? LibraryName(name) : m_settings.GetValue("", "LastFile", 0);
        if (m_file.IsEmpty()) m_file = LibraryName("takes.cvq");
        if (!TFile::Exist(m_file)) {
            std::printf("new document %s\n", m_file.c_str());
            return true;
        }
        try {
            TTaggedInputStream in(1, m_file, 1);
            if (!m_takes.RestoreState(in, 0, "Takes", 0)) m_takes.DeleteAll();
        } catch (const TException& e) {
            std::printf("cannot open %s: %s\n", m_file.c_str(), Message(e));
            return false;
        }
        std::printf("opened %s\n", m_file.c_str());
        List();
        return true;
    }

    // One command line; false once the editor should end.
    bool Do(const std::string& line) {
        const size_t start = line.find_first_not_of(' ');
        if (start == std::string::npos) return true;
        const size_t end = line.find(' ', start);
        const std::string command = line.substr(start, end - start);
        std::string rest = end == std::string::npos ? std::string() : line.substr(end + 1);
        rest.erase(0, rest.find_first_not_of(' '));
        rest.erase(rest.find_last_not_of(' ') + 1);

        if (command == "quit") return Quit();
        m_quitAsked = false;
        if (command == "list") {
            List();
        } else if (command == "add") {
            const TString name = rest.empty() ? NewName() : TString(rest.c_str());
            Edit((new TAddOperation(m_history.get(), m_takes, name))->Launch());
        } else if (command == "rename" || command == "delete") {
            TTake* take = TakeOf(rest);
            if (!take) return true;
            const size_t space = rest.find(' ');
            if (command == "delete")
                Edit((new TDeleteOperation(m_history.get(), m_takes, take))->Launch());
            else if (space == std::string::npos)
                std::printf("rename N NAME: a new name is needed\n");
            else
                Edit((new TRenameOperation(m_history.get(), take, rest.substr(space + 1).c_str()))
                         ->Launch());
        } else if (command == "undo" || command == "redo") {
            const bool undo = command == "undo";
            const TString what =
                undo ? m_history->GetUndoDescription(0) : m_history->GetRedoDescription(0);
            if (what.IsEmpty()) {
                std::printf("nothing to %s\n", command.c_str());
                return true;
            }
            std::printf("%s: %s\n", undo ? "undone" : "redone", what.c_str());
            Edit(undo ? m_history->UndoOperation(0, nullptr)
                      : m_history->RedoOperation(0, nullptr));
        } else if (command == "save") {
            Save(rest);
        } else if (command == "default") {
            if (!rest.empty()) m_defaultName = rest.c_str();
            std::printf("new takes are named \"%s N\"\n", m_defaultName.c_str());
        } else {
            std::printf(
                "commands: add [NAME], rename N NAME, delete N, undo, redo, list,\n"
                "          save [FILE], default NAME, quit\n");
        }
        return true;
    }

    // Keeps the settings for the next session.
    void SaveSettings() {
        if (m_settingsFile.IsEmpty()) return;
        m_settings.MoveToRoot();
        m_settings.SetValue(m_file, "LastFile", 0);
        m_settings.SetValue(m_defaultName, "DefaultName", 0);
        m_settings.SetValue(m_history->GetMaximumCount(), "UndoSteps", 0);
        try {
            TFile::EnsureDirectory(TFileName(m_settingsFile.GetPath()));
            m_settings.Save(m_settingsFile, 1);
        } catch (const TException& e) {
            std::printf("the settings were not saved: %s\n", Message(e));
        }
    }

private:
    static const char* Message(const TException& e) {
        return e.GetMessage() && !e.GetMessage()->IsEmpty() ? e.GetMessage()->c_str()
                                                            : "unknown error";
    }

    TString NewName() const {
        TString name = m_defaultName;
        name += ' ';
        name += std::to_string(m_takes.GetCount() + 1).c_str();
        return name;
    }

    // The take numbered by the first word of `rest`, from 1.
    TTake* TakeOf(const std::string& rest) const {
        int32_t number = 0;
        const char* last = rest.data() + rest.size();
        const auto [end, error] = std::from_chars(rest.data(), last, number);
        if (error == std::errc() && (end == last || *end == ' ') && number >= 1 &&
            number <= m_takes.GetCount())
            return m_takes.Element(number - 1);
        std::printf("no take \"%s\": give a number from 1 to %d\n", rest.c_str(),
                    m_takes.GetCount());
        return nullptr;
    }

    void Edit(char done) {
        if (!done) std::printf("nothing changed\n");
        List();
    }

    void List() const {
        if (m_takes.IsEmpty()) std::printf("  (no takes)\n");
        int32_t number = 0;
        for (const TTake& take : m_takes) std::printf("  %d %s\n", ++number, take.m_name.c_str());
    }

    void Save(const std::string& name) {
        const TFileName file = name.empty() ? m_file : LibraryName(name);
        try {
            TTaggedOutputStream out(1, "takes", 1);
            m_takes.WriteState(out, 0, "Takes", 0);
            out.SaveAs(file, 1);
        } catch (const TException& e) {
            std::printf("not saved: %s\n", Message(e));
            return;
        }
        m_file = file;
        m_history->ResetChangeCounter();
        std::printf("saved %d takes in %s\n", m_takes.GetCount(), m_file.c_str());
    }

    bool Quit() {
        if (m_history->ExistChanges() && !m_quitAsked) {
            m_quitAsked = true;
            std::printf("unsaved changes: save them, or quit again to drop them\n");
            return true;
        }
        return false;
    }

    TConfig m_settings{"TakeEditor", TConfig::kNoMode};
    TFileName m_settingsFile;
    TString m_defaultName;
    TFileName m_file;
    TTakes m_takes;
    std::unique_ptr<TChiefOperator> m_history;
    bool m_quitAsked = false;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc > 2 || (argc == 2 && argv[1][0] == '-')) {
        std::printf("usage: take_editor [FILE]\n");
        return 2;
    }
    TEditor editor;
    if (!editor.Open(argc == 2 ? argv[1] : nullptr)) return 1;
    std::string line;
    do {
        std::printf("takes> ");
        std::fflush(stdout);
        if (!std::getline(std::cin, line)) {
            std::printf("\n");
            break;
        }
    } while (editor.Do(line));
    editor.SaveSettings();
    return 0;
}
