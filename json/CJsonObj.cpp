#include "json/CJsonObj.h"

#include <stdexcept>
#include <utility>

#include "json/TextEncoding.h"

namespace {

// Finds the member or inserts a null one in its place; the key is copied
// (or moved) only when it is new.
template <typename Key>
CJsonValue AccessMember(CJsonObj::Members& members, Key&& key) {
  auto place = members.lower_bound(key);
  if (place == members.end() || place->first != key) {
    place = members.emplace_hint(place, std::forward<Key>(key), JsonVariant{});
  }
  return CJsonValue(&place->second);
}

}  // namespace

CJsonObj::CJsonObj(
    std::initializer_list<std::pair<std::u16string, JsonVariant>> pairs) {
  for (const auto& [key, value] : pairs) (*this)[key] = value;
}

CJsonObj& CJsonObj::operator=(const CJsonObj& other) {
  Members copy = other.members_;
  members_.swap(copy);
  return *this;
}

CJsonObj& CJsonObj::operator=(CJsonObj&& other) noexcept(
    std::is_nothrow_move_constructible_v<Members>) {
  Members taken(std::move(other.members_));
  members_.swap(taken);
  return *this;
}

CJsonValue CJsonObj::operator[](std::u16string_view key) {
  return AccessMember(members_, key);
}

CJsonValue CJsonObj::operator[](std::string_view key) {
  return AccessMember(members_, Utf8ToWide(key));
}

const JsonVariant* CJsonObj::Find(std::u16string_view key) const {
  const auto member = members_.find(key);
  return member == members_.end() ? nullptr : &member->second;
}

const JsonVariant& CJsonObj::At(std::u16string_view key) const {
  if (const JsonVariant* value = Find(key)) return *value;
  throw std::out_of_range("invalid map<K, T> key");
}

JsonVariant& CJsonObj::At(std::u16string_view key) {
  return const_cast<JsonVariant&>(std::as_const(*this).At(key));
}
