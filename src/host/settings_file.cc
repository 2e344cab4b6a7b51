#include "stratus/host/settings_file.h"

#include <string>

#include "stratus/foundation/result.h"

#include "host/ini_file.h"

struct WSettingsFile::Contents {
  stratus::IniFile file;
};

namespace {

// The check of the values: a value edited by hand that the reader would
// refuse (file:///..., a UseProxy of "yes") stops the load, naming its line.
bool checkValues(const std::string& path, const stratus::IniFile& file,
                 std::string& error) {
  for (const WSettingInfo& s : WSettings::LIST) {
    const std::string* value = file.get(WSettings::SECTION, s.key);
    std::string reason;
    if (value != nullptr && !WSettings::check(s, *value, reason)) {
      error = "settings file " + path + ", line " +
              std::to_string(file.lineOf(WSettings::SECTION, s.key)) + ": " +
              reason;
      return false;
    }
  }
  return true;
}

// The setting named `key`, or null with `error` naming the known ones.
const WSettingInfo* known(const std::string& key, std::string& error) {
  const WSettingInfo* info = WSettings::find(key);
  if (info != nullptr) return info;
  error = "unknown setting \"" + key + "\" (the settings are " +
          WSettings::keyList() + ")";
  return nullptr;
}

}  // namespace

WSettingsFile::WSettingsFile(std::string path)
    : path_(std::move(path)), contents_(new Contents) {}

WSettingsFile::~WSettingsFile() = default;

WSettingsFile::Result WSettingsFile::load(std::string& error) {
  stratus::IniFile loaded;
  stratus::IniFile::Error e;
  if (!stratus::IniFile::load(path_, loaded, e)) {
    error = e.message;
    return BAD_FILE;
  }
  if (!checkValues(path_, loaded, error)) return BAD_FILE;
  contents_->file = std::move(loaded);
  return DONE;
}

const std::string* WSettingsFile::get(const std::string& section,
                                      const std::string& key) const {
  return contents_->file.get(section, key);
}

std::vector<std::pair<std::string, std::string>> WSettingsFile::entries(
    const std::string& section) const {
  return contents_->file.entries(section);
}

WSettingsFile::Result WSettingsFile::update(
    const std::function<bool(Contents&, std::string&)>& change,
    std::string& error) {
  Contents updated;
  auto step = [&](stratus::IniFile& file, std::string& why) {
    if (!checkValues(path_, file, why)) return false;
    updated.file = file;
    if (!change(updated, why)) return false;
    file = updated.file;
    return true;
  };
  switch (stratus::IniFile::update(path_, step, error)) {
    case stratus::IniFile::Update::kSaved:
      contents_->file = std::move(updated.file);
      return DONE;
    case stratus::IniFile::Update::kBadFile:
      return BAD_FILE;
    case stratus::IniFile::Update::kCantWrite:
      break;
  }
  return CANT_WRITE;
}

WSettingsFile::Result WSettingsFile::set(const std::string& key,
                                         const std::string& value,
                                         std::string& error) {
  const WSettingInfo* info = known(key, error);
  if (info == nullptr || !WSettings::check(*info, value, error)) return REFUSED;
  return update(
      [&](Contents& c, std::string&) {
        c.file.set(WSettings::SECTION, info->key, value);
        return true;
      },
      error);
}

WSettingsFile::Result WSettingsFile::unset(const std::string& key,
                                           std::string& error) {
  const WSettingInfo* info = known(key, error);
  if (info == nullptr) return REFUSED;
  return update(
      [&](Contents& c, std::string&) {
        c.file.erase(WSettings::SECTION, info->key);
        return true;
      },
      error);
}

WSettingsFile::Result WSettingsFile::reset(std::string& error) {
  return update(
      [](Contents& c, std::string&) {
        for (const auto& entry : c.file.entries(WSettings::SECTION))
          c.file.erase(WSettings::SECTION, entry.first);
        return true;
      },
      error);
}

bool WSettingsFile::isPresent(const LString& section, const LString& key, int) {
  return contents_->file.get(section.str(), key.str()) != nullptr;
}

int WSettingsFile::readInt(const LString& section, const LString& key,
                           int& value, int) {
  const std::string* text = contents_->file.get(section.str(), key.str());
  if (text == nullptr) return L_NOTFOUND;
  return WSettings::parseInt(*text, value) ? L_OK : L_FORMAT;
}

int WSettingsFile::readString(const LString& section, const LString& key,
                              LString& value, int) {
  const std::string* text = contents_->file.get(section.str(), key.str());
  if (text == nullptr) return L_NOTFOUND;
  value = LString(text->c_str(), static_cast<int>(text->size()));
  return L_OK;
}

int WSettingsFile::storeInt(const LString& section, const LString& key,
                            int value, int) {
  contents_->file.set(section.str(), key.str(), std::to_string(value));
  return L_OK;
}

int WSettingsFile::storeString(const LString& section, const LString& key,
                               const LString& value, int) {
  if (value.str().find_first_of("\r\n") != std::string::npos) return L_FORMAT;
  contents_->file.set(section.str(), key.str(), value.str());
  return L_OK;
}
