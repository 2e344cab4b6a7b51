// The location records. Assignments and setters build the new record first
// and move it in last, so an allocation failure (LEx L_MEM) leaves the target
// as it was; the database relies on this to write out-arguments only on
// success.
#include "stratus/location/location.h"

#include <utility>

#include "stratus/foundation/result.h"

WCountry::WCountry() : id_(0) {}
WCountry::WCountry(unsigned id, const LString& name, const LString& data)
    : id_(id), name_(name), data_(data) {}
WCountry::WCountry(const WCountry& other) = default;
WCountry& WCountry::operator=(const WCountry& other) {
  *this = WCountry(other);
  return *this;
}
WCountry::WCountry(WCountry&& other) noexcept = default;
WCountry& WCountry::operator=(WCountry&& other) noexcept = default;
WCountry::~WCountry() = default;

WState::WState() : id_(0), countryId_(0) {}
WState::WState(unsigned id, unsigned countryId, const LString& name,
               const LString& data)
    : id_(id), countryId_(countryId), name_(name), data_(data) {}
WState::WState(const WState& other) = default;
WState& WState::operator=(const WState& other) {
  *this = WState(other);
  return *this;
}
WState::WState(WState&& other) noexcept = default;
WState& WState::operator=(WState&& other) noexcept = default;
WState::~WState() = default;

void WState::setData(unsigned id, unsigned countryId, const LString& name,
                     const LString& data) {
  *this = WState(id, countryId, name, data);
}

WArea::WArea() : id_(0), countryId_(0), stateId_(0) {}
WArea::WArea(unsigned id, unsigned countryId, unsigned stateId,
             const LString& name, const LString& data)
    : id_(id),
      countryId_(countryId),
      stateId_(stateId),
      name_(name),
      data_(data) {}
WArea::WArea(const WArea& other) = default;
WArea& WArea::operator=(const WArea& other) {
  *this = WArea(other);
  return *this;
}
WArea::WArea(WArea&& other) noexcept = default;
WArea& WArea::operator=(WArea&& other) noexcept = default;
WArea::~WArea() = default;

WCity::WCity() : id_(0), countryId_(0), stateId_(0) {}
WCity::WCity(unsigned id, unsigned countryId, unsigned stateId,
             const LString& name, const LString& data)
    : id_(id),
      countryId_(countryId),
      stateId_(stateId),
      name_(name),
      data_(data) {}
WCity::WCity(const WCity& other) = default;
WCity& WCity::operator=(const WCity& other) {
  *this = WCity(other);
  return *this;
}
WCity::WCity(WCity&& other) noexcept = default;
WCity& WCity::operator=(WCity&& other) noexcept = default;
WCity::~WCity() = default;

void WCity::setCity(unsigned id, unsigned countryId, unsigned stateId,
                    const LString& name, const LString& data) {
  *this = WCity(id, countryId, stateId, name, data);
}

int WCity::getDataToken(const LString& key, LString& value) const {
  return getDataToken(data_, key, value);
}

// Form of one entry: key "(" value ")", the value holding no ")". Only the
// first occurrence of the key's text counts, wherever it stands, so a key
// must not appear inside an earlier entry.
int WCity::getDataToken(const LString& data, const LString& key,
                        LString& value) {
  int at = 0;
  if (data.find(key, at) != 0) return L_NOTFOUND;
  int p = at + key.length();
  LString open;
  if (data.mid(p, 1, open) != 0) return L_FORMAT;  // the key ends the string
  if (open != "(") return L_FORMAT;
  LString rest;
  if (data.mid(p + 1, data.length() - p - 1, rest) != 0) return L_FORMAT;
  LString found;
  LString after;
  if (rest.split(")", found, after) != 0) return L_FORMAT;
  value = found;
  return L_OK;
}

WLocation::WLocation()
    : country_(0), state_(0), area_(0), city_(0), valid_(false) {}
WLocation::WLocation(const WLocation& other) = default;
WLocation& WLocation::operator=(const WLocation& other) {
  LString cityData(other.cityData_);
  LString name(other.name_);
  LString shortState(other.shortState_);
  country_ = other.country_;
  state_ = other.state_;
  area_ = other.area_;
  city_ = other.city_;
  cityData_ = std::move(cityData);
  name_ = std::move(name);
  shortState_ = std::move(shortState);
  valid_ = other.valid_;
  return *this;
}
WLocation::~WLocation() = default;

int WLocation::getCityData(const LString& key, LString& value) const {
  return WCity::getDataToken(cityData_, key, value);
}
