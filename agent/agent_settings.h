#pragma once
// The agent's copy of the configuration (Temp_KBConfig and profile_config) and its writes to
// Config.config in the per-user data folder.
#include "agent_seams.h"
#include "profile_records.h"

#include <string>

namespace qelt {

class ConfigSettings final : public AgentSettings {
public:
    explicit ConfigSettings(std::wstring dataFolder);

    void Load() override;
    int CurrentProfile() const override { return Temp_KBConfig.CurrantProfile; }
    void SetCurrentProfile(int profile) override;
    void SetDeviceStatus(int status) override;
    void WriteConfig() override;
    void WritePcMode() override;
    void WriteDeviceStatus(int status) override;
    uint8_t FunctionOf(int profile, int slot) const override;
    std::wstring AppPathOf(int profile, int slot) const override;

    const std::wstring& DataFolder() const { return m_dataFolder; }
    std::wstring ConfigPath() const;
    // The records the device tables are encoded from.
    const PROFILE_CONFIG (&Profiles() const)[PROFILE_COUNT] { return profile_config; }

private:
    std::wstring m_dataFolder;
    KB_CONFIG Temp_KBConfig{};
    PROFILE_CONFIG profile_config[PROFILE_COUNT]{};
    // Until the files are loaded the record holds only what the agent set itself; the other
    // fields must not overwrite what the editor stored.
    bool m_loaded = false;
    bool m_profileSet = false;
    bool m_statusSet = false;
};

// The per-user data folder ("<application data>\Mivo\"), written as a diagnostic line.
std::wstring AgentDataFolder();

} // namespace qelt
