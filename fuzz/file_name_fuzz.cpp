// File-name members of TString on arbitrary text: no crash, and the few results the
// members promise regardless of input.
// Input: one byte of summary length, then two names separated by a NUL.
#include <commonvcqx/files/FileName.h>
#include <commonvcqx/files/FileNameEx.h>
#include <commonvcqx/text/String.h>

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > 4096) return 0;
    const uint32_t maxLength = data[0];
    std::string rest(reinterpret_cast<const char*>(data + 1), size - 1);
    size_t split = rest.find('\0');
    TString a(rest.substr(0, split).c_str());
    TString b(split == std::string::npos ? "" : rest.c_str() + split + 1);

    TString summary(a.GetSummary(maxLength));
    if (maxLength >= 3 && summary.GetLength() > maxLength) std::abort();
    if (!a.ContainsDrive() && !summary.IsEmpty()) std::abort();
    TString relative(TString::GetRelativeFileName(a, b));
    TString absolute(TString::GetAbsoluteFileName(a, relative));
    TString absolute2(TString::GetAbsoluteFileName(b, a));
    // Valid: letters, a colon, then backslash-and-name groups ("sC:\\x" too).
    if (a.IsValidFileName() && (a.GetLastChar() == '\\' || !a.ContainsPath())) std::abort();

    TString top;
    TString below(a.GetPathBelow(&top));
    TString path(a.GetPath()), title(a.GetTitle(0)), ext(a.GetExtension(1));
    TString drive(a.GetDrive());
    if (drive.GetLength() > 1) std::abort();

    TString c(a);
    c.RemoveExtension(b.c_str());
    c.SetExtension(b, nullptr);
    c.SetExtension(b.c_str(), a.c_str());
    c.SetExtension(static_cast<const char*>(nullptr), "*");
    c.SetDrive(int(maxLength % 26));
    c.SetDrive(b);
    c.PrependVolumeName(b);
    c.EnsureOneSlashAtTheEnd();
    if (c.GetLastChar() != '\\') std::abort();
    c.AppendTitleAndMakeFullFileName(b);
    TString d(b);
    d.EnsureFullFileName();

    // As TFileNames: a consistent order, clones equal to their source.
    TFileName fa(a), fb(b), joined(a, b);
    TFileName relativeToApp(TFileName::CreateApplicationRelative(b));
    const int ab = fa.Compare(fb, 0), ba = fb.Compare(fa, 0);
    if ((ab < 0) != (ba > 0) || (ab == 0) != (ba == 0)) std::abort();
    TObject* clone = TFileNameEx(joined, 1, 0).CreateClone(nullptr);
    if (clone->Compare(joined, 0) != 0 || joined.Compare(*clone, 0) != 0) std::abort();
    clone->Delete();
    return 0;
}
