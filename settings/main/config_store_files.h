#pragma once
// The editor's files on Win32: the configuration through ConfigStore, exported profiles through
// the private-profile format, each file operation under the wait cursor.
#include "config_store.h"
#include "editor_session.h"

namespace qelt {

class ConfigStoreFiles : public EditorFiles {
public:
    explicit ConfigStoreFiles(const ConfigStore& store) : m_store(store) {}

    bool Load(KB_CONFIG& keyboard, ProfileArray& profiles) override;
    FileWriteResult SaveAll(const KB_CONFIG& keyboard, const ProfileArray& profiles) override;
    FileWriteResult SaveSelection(const KB_CONFIG& keyboard, const ProfileArray& profiles) override;
    void ReadConfig(KB_CONFIG& keyboard) override;
    void ReloadProfile(int profile, ProfileArray& profiles) override;
    void DeleteAndResetProfile(int profile, ProfileArray& profiles) override;
    FileWriteResult ExportProfile(const std::wstring& path, const PROFILE_CONFIG& profile) override;
    ProfileImport ImportProfile(const std::wstring& path, PROFILE_CONFIG& profile) override;

private:
    const ConfigStore& m_store;
};

} // namespace qelt
