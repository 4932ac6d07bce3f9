// The settings store, addressed with full Windows-style key texts such as
// "HKEY_LOCAL_MACHINE\Software\Velmor\Data\". Backed by an INI file: the one
// named by VELMOR_REGISTRY, else the user's configuration folder.
#pragma once

#include <QString>
#include <memory>

class QSettings;

namespace velmor {

class RegistryAccess {
public:
    RegistryAccess();
    explicit RegistryAccess(const QString& iniPath);
    ~RegistryAccess();

    bool KeyExists(const QString& key) const;
    void CreateKey(const QString& key);
    /// Value keeps what it held when the value is missing; false then.
    bool GetValue(const QString& key, const QString& name, QString& value) const;
    void SetValue(const QString& key, const QString& name, const QString& value);
    void SetDefaultValue(const QString& key, const QString& value);
    void Sync();

private:
    std::unique_ptr<QSettings> store_;
};

}  // namespace velmor
