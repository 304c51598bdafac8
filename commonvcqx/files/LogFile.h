// commonvcqx/files/LogFile.h
//
// TLogFile: collects log entries in memory and appends their lines to a file in
// batches. An entry is any TLogEntry that can render itself as one line. The file is
// opened by the first batch written; a failure while opening or writing switches the
// log off for good (bypassed) instead of disturbing the application.
//
//   class TLine : public TLogEntry {
//   public:
//       explicit TLine(const char* text) : m_text(text) {}
//       TString GetLogText() const override { return m_text; }
//       TString m_text;
//   };
//   TLogFile log("C:\\tmp\\session.log", 0, 1000);   // append, write every 1000 lines
//   log.AddEntry(new TLine("started"));
//   log.Flush(0);                                     // "started\r\n" is in the file
//
// Lines end with CR LF. Writes go out in pieces of a little over 64 KB, and always to
// the end of the file (O_APPEND), so two logs on one file never overwrite each other.
// Copies of a log share one file: whichever copy opens it first opens it for all of
// them, and the last copy to go closes it. Copies also get clones of the pending
// entries (an entry without a clone is not copied). Not locked: one thread uses a log
// (and its copies) at a time.
#pragma once

#include <commonvcqx/containers/DoubleList.h>
#include <commonvcqx/containers/FlexList.h>
#include <commonvcqx/files/FileName.h>
#include <commonvcqx/text/String.h>

#include <cstdint>
#include <memory>

class TFile;

class TLogEntry : public TListElement {
public:
    /// The entry's line, without line end.
    virtual TString GetLogText() const = 0;

protected:
    TLogEntry() noexcept = default;
    TLogEntry(const TLogEntry&) noexcept = default;
    TLogEntry& operator=(const TLogEntry&) noexcept = default;
    ~TLogEntry() override;
};

class TLogFile {
public:
    /// Nothing is opened yet. With `restart` the first batch starts a new file, otherwise
    /// it goes after what an existing file holds. AddEntry writes the pending entries
    /// once `flushThreshold` of them have gathered (1 or less: every entry at once).
    TLogFile(const TFileName& name, char restart, int32_t flushThreshold);
    TLogFile(const TLogFile& other);
    TLogFile& operator=(const TLogFile& other);
    /// Writes what is pending; the last copy closes the file.
    ~TLogFile();

    /// Takes ownership of `entry` (null: nothing) and flushes when the threshold is
    /// reached. A bypassed log does not take the entry: the caller keeps it.
    void AddEntry(TLogEntry* entry);
    /// Writes every pending entry and deletes them all; on a failure the log becomes
    /// bypassed and the entries are discarded. Never throws. The argument is not used.
    void Flush(char unused = 0) noexcept;
    /// A bypassed log neither keeps nor writes entries (an open file stays open).
    void Bypass(char on) noexcept { m_bypassed = on ? 1 : 0; }
    char IsBypassed() const noexcept { return m_bypassed; }

    int32_t GetNumPendingEntries() const noexcept { return m_entries.GetCount(); }
    const TFileName& GetName() const noexcept { return m_name; }

private:
    struct TShared;

    void Open();
    void Write(const char* data, size_t count);

    std::shared_ptr<TShared> m_shared;
    TFlexList<TLogEntry> m_entries;
    TFileName m_name;
    int32_t m_flushThreshold;
    char m_bypassed = 0;
    char m_restart;
};
