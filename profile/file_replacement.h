#pragma once
// Writing a private-profile file whole or not at all.
//
// The platform's private-profile calls rewrite a file in place, key by key: a program stopped in
// the middle (or a machine losing power) leaves it part old, part new, and a reader running at
// the same time can see it half written. So the keys go to a work file beside the target, which
// starts as a copy of the target (keys nobody writes now stay as they were, in their places),
// and the work file then replaces the target in one rename.
//
// Encoding: the platform keeps a file that starts with a UTF-16 byte-order mark in UTF-16 and
// writes any other in the ANSI code page, where letters outside the code page become "?". A new
// file therefore starts as a UTF-16LE byte-order mark; an existing ANSI file is copied as it is,
// unless it must take text its code page cannot hold, in which case the copy is UTF-16.
#include <string>

namespace qelt {

// What writing one file or a set of files came to: all written, or the first file that was not,
// with the platform's error code.
struct FileWriteResult {
    std::wstring failedPath;
    unsigned long nError = 0;

    bool Ok() const { return failedPath.empty(); }
    static FileWriteResult Failure(std::wstring path, unsigned long error);
    // Keeps the first failure of several writes.
    void Merge(const FileWriteResult& other);
    // "<file>: <the platform's text for the error>", to tell the user which file and why.
    std::wstring Describe() const;
};

// True when every character of the text survives the ANSI code page.
bool FitsAnsiCodePage(const std::wstring& text);

class FileReplacement {
public:
    // Prepares the work file for target. needsUnicode: text that the ANSI code page cannot hold
    // is about to be written. A target that cannot be read (a folder of that name, no access) or
    // a work file that cannot be made leaves the replacement not Ready, with the reason.
    FileReplacement(std::wstring target, bool needsUnicode);
    ~FileReplacement();
    FileReplacement(const FileReplacement&) = delete;
    FileReplacement& operator=(const FileReplacement&) = delete;

    bool Ready() const { return m_result.Ok(); }
    const std::wstring& Target() const { return m_target; }
    // Where the private-profile writes go.
    const std::wstring& WorkPath() const { return m_workPath; }

    // After the writes: when they all succeeded (writeError 0), the work file goes to disk and
    // replaces the target (unless it holds exactly what the target holds: then the target stays);
    // otherwise the target stays as it was. Either way the work file is gone.
    FileWriteResult Commit(unsigned long writeError);

    // Work files older than this, left by a program stopped in a save, are removed by the next
    // replacement in their folder.
    static constexpr unsigned kStaleWorkFileSeconds = 60;

private:
    void Prepare(bool needsUnicode);
    bool CreateWorkFile(const std::string& initialBytes);
    void RemoveStaleWorkFiles() const;
    void Fail(unsigned long error);

    std::wstring m_target;
    std::wstring m_folder;  // with its trailing backslash, or empty for a bare name
    std::wstring m_workPath;
    std::string m_targetBytes;  // the target as it was, when the work file started as its copy
    bool m_bWorkFileExists = false;
    FileWriteResult m_result;
};

} // namespace qelt
