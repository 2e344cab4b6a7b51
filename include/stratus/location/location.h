// The location records: countries, states, areas and cities as they stand in
// the location data files, and WLocation, a place resolved for the reader.
//
// A city carries a data string of keyed values, each written as the key
// followed by its value in parentheses, e.g. "azone(CAZ006)acode(KSFO)":
// "azone" is the forecast zone whose section is cut from zone products,
// "acode" the city's code (station of the conditions page, and the code of
// city products). WCity::getDataToken pulls one value out of such a string.
//
// All five classes are plain values (no base class, nothing virtual); copies
// are independent. Not thread-safe: an instance is used by one thread at a
// time.
#ifndef STRATUS_LOCATION_LOCATION_H_
#define STRATUS_LOCATION_LOCATION_H_

#include "stratus/export.h"
#include "stratus/foundation/string.h"

// A record of countries.ldt.
class STRATUS_EXPORT WCountry {
 public:
  // Id 0, empty texts.
  WCountry();
  WCountry(unsigned id, const LString& name, const LString& data);
  WCountry(const WCountry& other);
  WCountry& operator=(const WCountry& other);
  // Moves take the texts over without copying; `other` is left valid.
  WCountry(WCountry&& other) noexcept;
  WCountry& operator=(WCountry&& other) noexcept;
  ~WCountry();

  unsigned getId() const { return id_; }
  const LString& getName() const { return name_; }
  // Text carried with the record ("US"), passed on unchanged.
  const LString& getData() const { return data_; }

 private:
  unsigned id_;
  LString name_;
  LString data_;
};

// A record of states.ldt. Its data is the state's short name ("ca"), which
// the reader puts into the paths of product pages.
class STRATUS_EXPORT WState {
 public:
  // Ids 0, empty texts.
  WState();
  WState(unsigned id, unsigned countryId, const LString& name,
         const LString& data);
  WState(const WState& other);
  WState& operator=(const WState& other);
  // Moves take the texts over without copying; `other` is left valid.
  WState(WState&& other) noexcept;
  WState& operator=(WState&& other) noexcept;
  ~WState();

  unsigned getId() const { return id_; }
  unsigned getCountryId() const { return countryId_; }
  // Full name ("California").
  const LString& getName() const { return name_; }
  // Short name ("ca").
  const LString& getData() const { return data_; }

  // Sets every field at once.
  void setData(unsigned id, unsigned countryId, const LString& name,
               const LString& data);

 private:
  unsigned id_;
  unsigned countryId_;
  LString name_;
  LString data_;
};

// A record of areas.ldt (a county or its equivalent).
class STRATUS_EXPORT WArea {
 public:
  // Ids 0, empty texts.
  WArea();
  WArea(unsigned id, unsigned countryId, unsigned stateId, const LString& name,
        const LString& data);
  WArea(const WArea& other);
  WArea& operator=(const WArea& other);
  // Moves take the texts over without copying; `other` is left valid.
  WArea(WArea&& other) noexcept;
  WArea& operator=(WArea&& other) noexcept;
  ~WArea();

  unsigned getId() const { return id_; }
  unsigned getCountryId() const { return countryId_; }
  unsigned getStateId() const { return stateId_; }
  const LString& getName() const { return name_; }
  // Text carried with the record, passed on unchanged.
  const LString& getData() const { return data_; }

 private:
  unsigned id_;
  unsigned countryId_;
  unsigned stateId_;
  LString name_;
  LString data_;
};

// A record of cities.ldt. Its data is the city data string.
class STRATUS_EXPORT WCity {
 public:
  // Ids 0, empty texts.
  WCity();
  WCity(unsigned id, unsigned countryId, unsigned stateId, const LString& name,
        const LString& data);
  WCity(const WCity& other);
  WCity& operator=(const WCity& other);
  // Moves take the texts over without copying; `other` is left valid.
  WCity(WCity&& other) noexcept;
  WCity& operator=(WCity&& other) noexcept;
  ~WCity();

  unsigned getId() const { return id_; }
  unsigned getCountryId() const { return countryId_; }
  unsigned getStateId() const { return stateId_; }
  const LString& getName() const { return name_; }
  const LString& getData() const { return data_; }

  // Sets every field at once.
  void setCity(unsigned id, unsigned countryId, unsigned stateId,
               const LString& name, const LString& data);

  // getDataToken on this city's data string.
  int getDataToken(const LString& key, LString& value) const;

  // The value of `key` in the data string `data`, found at the first place
  // where the key's text occurs anywhere in `data` (also inside another key
  // or value; no later occurrence is tried). The value is the text between
  // the "(" that must follow the key at once and the next ")", blanks
  // included; it may be empty.
  //   L_OK (0)         found; `value` holds it
  //   L_NOTFOUND (3)   the key's text does not occur
  //   L_FORMAT (11)    the key is not followed by "(", or no ")" follows
  // `value` is written only on L_OK.
  static int getDataToken(const LString& data, const LString& key,
                          LString& value);

 private:
  unsigned id_;
  unsigned countryId_;
  unsigned stateId_;
  LString name_;
  LString data_;
};

// A resolved place: the ids of its country, state, area and city, a display
// name, the state's short name and a copy of the city's data string. Built
// by WLocationDB::makeUSLocation or through the setters, and passed by const
// reference to every reader operation.
class STRATUS_EXPORT WLocation {
 public:
  // Ids 0, empty texts, not valid.
  WLocation();
  WLocation(const WLocation& other);
  WLocation& operator=(const WLocation& other);
  ~WLocation();

  unsigned getCountry() const { return country_; }
  unsigned getState() const { return state_; }
  // 0 when the location was built without an area.
  unsigned getArea() const { return area_; }
  unsigned getCity() const { return city_; }
  // Display name, e.g. "Boston, Massachusetts, United States".
  const LString& getName() const { return name_; }
  // The state's short name ("ma").
  const LString& getShortState() const { return shortState_; }
  bool isValid() const { return valid_; }

  // WCity::getDataToken on the location's city data; same results, and
  // `value` is written only on L_OK.
  int getCityData(const LString& key, LString& value) const;

  void setCountry(unsigned id) { country_ = id; }
  void setState(unsigned id) { state_ = id; }
  void setArea(unsigned id) { area_ = id; }
  void setCity(unsigned id) { city_ = id; }
  void setCityData(const LString& data) { cityData_ = data; }
  void setName(const LString& name) { name_ = name; }
  void setShortState(const LString& shortState) { shortState_ = shortState; }
  void setValid(bool valid) { valid_ = valid; }

 private:
  unsigned country_;
  unsigned state_;
  unsigned area_;
  unsigned city_;
  LString cityData_;
  LString name_;
  LString shortState_;
  bool valid_;
};

#endif  // STRATUS_LOCATION_LOCATION_H_
