// commonvcqx/files/FileName.h
//
// TFileName: the path every file operation of the library takes and returns. It is a
// TString (sharing its representation like any string, with all the file-name members
// of TString) and a list element, so paths live in lists and arrays of objects, compare
// and clone. The text is kept as given: nothing is normalized.
//
//   TFileName take("C:\\Takes", "one.wav");      // "C:\Takes\one.wav"
//   TFlexList<TFileName> files;
//   files.InsertInSortedList(new TFileName("c:\\takes\\B.wav"));
//   TFileName config = TFileName::CreateApplicationRelative("editor.cfg");
//
// Paths order without regard to letter case, the way file lists are sorted on the
// system the library comes from: control characters, then punctuation (apostrophe
// and hyphen first, then " !\"#$%&()*,./:;?@[\]^_`{|}~+<=>" in that order), then
// digits, then letters; bytes from 0x7F up follow in byte order.
#pragma once

#include <commonvcqx/containers/DoubleList.h>
#include <commonvcqx/text/String.h>

class TFileName : public TString, public TListElement {
public:
    TFileName() noexcept = default;
    TFileName(const TString& text) noexcept : TString(text) {}
    TFileName(const char* text) : TString(text) {}
    TFileName(const TSubString& text) noexcept : TString(text) {}
    /// Shares the text; the copy starts outside any list.
    TFileName(const TFileName& other) noexcept : TString(other), TListElement() {}
    /// `directory` completed with AppendTitleAndMakeFullFileName(`name`).
    TFileName(const TString& directory, const TString& name);
    TFileName(const TString& directory, const char* name);
    TFileName(const char* directory, const TString& name);
    TFileName(const char* directory, const char* name);
    ~TFileName() override;

    // Assignments replace the text only: the list links stay this element's own.
    TFileName& operator=(const TFileName& other) noexcept {
        TString::operator=(other);
        return *this;
    }
    TFileName& operator=(const TString& text) noexcept {
        TString::operator=(text);
        return *this;
    }
    TFileName& operator=(const TSubString& text) noexcept {
        TString::operator=(text);
        return *this;
    }
    TFileName& operator=(const char* text) {
        TString::operator=(text);
        return *this;
    }

    /// Case-insensitive order of the two paths (see above); the mode is not used.
    /// `other` may be any object that is also a TString; any other object orders after.
    int Compare(const TObject& other, int compareMode) const override;
    /// A new TFileName with the same text, allocated from the string heap.
    TObject* CreateClone(void* context) const override;

    /// The directory of the program's executable file: C:\usr\bin for
    /// /usr/bin/editor with the default drive table.
    static TFileName GetApplicationPath();
    /// `name` when it holds a drive; otherwise `name` in the executable's directory.
    static TFileName CreateApplicationRelative(const TString& name);
    static TFileName CreateApplicationRelative(const char* name);
    /// The same for RootSuffixExt(root, suffix, extension).
    static TFileName CreateApplicationRelative(const char* root, const char* suffix,
                                               const char* extension);
};

/// The order TFileName::Compare gives two path texts: negative, 0 or positive. Null
/// texts count as empty.
int CompareFileNames(const char* a, const char* b) noexcept;
