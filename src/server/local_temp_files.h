#pragma once
// The session's local temporary files. They live in a folder of this session
// alone (0700, under TMPDIR, TEMP or TMP, else /tmp), so a purge never
// reaches another running viewer's files. Names follow the system's pattern:
// TALQTEMP_S or TALQTEMP_T, a four-digit stamp of the session's first name
// ("mmss"), a two-digit counter per kind and ".TMP".

#include <cstdint>
#include <map>
#include <string>

class LocalTempFiles {
  public:
    // How long a file handed to another program is spared by CleanUp.
    static constexpr std::int64_t kLaunchGraceMs = 5 * 60 * 1000;

    LocalTempFiles() = default;
    ~LocalTempFiles();
    LocalTempFiles(const LocalTempFiles&) = delete;
    LocalTempFiles& operator=(const LocalTempFiles&) = delete;

    // The private folder with a trailing "/", made at the first call;
    // "" when it cannot be made.
    const std::string& Folder();
    // A free name of the kind (S when kindS); the file is not created.
    std::string CreateName(bool kindS);
    // Lists a filled file, after a clean-up.
    void Add(const std::string& path);
    // Deletes listed files; those that cannot go, and those handed to a
    // program within the grace period, stay listed.
    void CleanUp();
    // A listed file was handed to another program just now.
    void MarkLaunched(const std::string& path);
    // The session ends: every file of the folder and the folder go.
    void RemoveAll();

    const std::string& List() const { return list_; }
    const std::string& Stamp() const { return stamp_; }

  private:
    std::string BuildName(char kind, int counter) const;
    void PurgeKind(char kind);

    std::string folder_;
    std::string stamp_;
    int counterS_ = 0;
    int counterT_ = 0;
    std::string list_;  // paths joined by character 30
    std::map<std::string, std::int64_t> launched_;
};
