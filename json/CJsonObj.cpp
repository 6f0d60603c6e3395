#include "json/CJsonObj.h"

#include <cstddef>
#include <iterator>
#include <map>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

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

// What this thread's copies and frees keep while they run: how many objects
// one inside the other they are copying or freeing by recursion, and whether
// memory has run out for a list of pending nodes during the free, which the
// outermost object's destructor forgets at its end. One variable, so that
// where thread-local storage is allocated on first use (MinGW's emulated
// TLS), that happens once, when a thread first copies or frees an object,
// not when memory has already run out.
struct Walks {
  std::size_t copyDepth = 0;
  std::size_t releaseDepth = 0;
  bool freeOutOfMemory = false;
};
thread_local Walks t_walks;

// Counts one more level of recursion while it lives.
class Nesting {
 public:
  explicit Nesting(std::size_t& depth) noexcept : depth_(++depth) {}
  ~Nesting() { --depth_; }
  Nesting(const Nesting&) = delete;
  Nesting& operator=(const Nesting&) = delete;

 private:
  std::size_t& depth_;
};

}  // namespace

// A tree nests only through objects: an object alternative, or the objects
// of an object-array alternative. Each walk below keeps the objects still to
// visit on a heap stack and handles one object at a time, so the machine
// stack stays flat at any depth.
struct CJsonObj::Tree {
  // Calls visit(object) for each object directly inside value.
  template <typename Value, typename Visit>
  static void ForEachChild(Value& value, const Visit& visit) {
    if (auto* object = std::get_if<CJsonObj>(&value)) {
      visit(*object);
    } else if (auto* objects = std::get_if<std::vector<CJsonObj>>(&value)) {
      for (auto& element : *objects) visit(element);
    }
  }

  static bool HasChildren(const JsonVariant& value) {
    bool found = false;
    ForEachChild(value,
                 [&found](const CJsonObj& child) { found |= !child.empty(); });
    return found;
  }

  // The value with each object in it left empty, for Copy to fill.
  static JsonVariant Outline(const JsonVariant& value) {
    if (std::holds_alternative<CJsonObj>(value)) {
      return JsonVariant(std::in_place_index<12>);
    }
    if (const auto* objects = std::get_if<std::vector<CJsonObj>>(&value)) {
      return JsonVariant(std::in_place_index<13>, objects->size());
    }
    return value;
  }

  static void Copy(const CJsonObj& source, CJsonObj& target) {
    std::vector<std::pair<const CJsonObj*, CJsonObj*>> pending{
        {&source, &target}};
    while (!pending.empty()) {
      const auto [from, to] = pending.back();
      pending.pop_back();
      for (const auto& [key, value] : from->members_) {
        // Keys come in order, so each goes in at the end.
        JsonVariant& copy =
            to->members_.emplace_hint(to->members_.end(), key, Outline(value))
                ->second;
        if (const auto* object = std::get_if<CJsonObj>(&value)) {
          pending.emplace_back(object, &std::get<CJsonObj>(copy));
        } else if (const auto* objects =
                       std::get_if<std::vector<CJsonObj>>(&value)) {
          auto& copies = std::get<std::vector<CJsonObj>>(copy);
          for (std::size_t i = 0; i < objects->size(); ++i) {
            pending.emplace_back(&(*objects)[i], &copies[i]);
          }
        }
      }
    }
  }

  static bool Equal(const CJsonObj& left, const CJsonObj& right) {
    std::vector<std::pair<const CJsonObj*, const CJsonObj*>> pending{
        {&left, &right}};
    while (!pending.empty()) {
      const auto [one, other] = pending.back();
      pending.pop_back();
      if (one->size() != other->size()) return false;
      auto there = other->begin();
      for (const auto& [key, value] : *one) {
        const auto& [otherKey, otherValue] = *there++;
        if (key != otherKey || value.index() != otherValue.index()) {
          return false;
        }
        if (const auto* object = std::get_if<CJsonObj>(&value)) {
          pending.emplace_back(object, &std::get<CJsonObj>(otherValue));
        } else if (const auto* objects =
                       std::get_if<std::vector<CJsonObj>>(&value)) {
          const auto& others = std::get<std::vector<CJsonObj>>(otherValue);
          if (objects->size() != others.size()) return false;
          for (std::size_t i = 0; i < objects->size(); ++i) {
            pending.emplace_back(&(*objects)[i], &others[i]);
          }
        } else if (value != otherValue) {
          return false;
        }
      }
    }
    return true;
  }

  // The nodes still to take apart: on a heap stack, or, once memory has run
  // out for it, in a pool that needs none. The pool is a multimap whose keys
  // all compare equal, so each node goes in at the end whatever its key (the
  // keys of nodes from different objects may well be equal), and neither
  // the multimap nor moving nodes in and out of it allocates: its header
  // lives in the multimap itself, and a node handle carries its node. The
  // stack stays first: with the pool alone a deep chain took half as long
  // again to free.
  class Pending {
   public:
    void Push(Members::node_type&& node) noexcept {
      // Once a stack has failed to grow, no stack is asked to again until
      // the whole free is done: each failure costs an exception, and a tree
      // may hold any number of subtrees that each start a list of their own.
      if (!t_walks.freeOutOfMemory || stack_.size() < stack_.capacity()) {
        try {
          // Leaves the node where it was should the stack fail to grow.
          stack_.push_back(std::move(node));
          return;
        } catch (...) {
          t_walks.freeOutOfMemory = true;
        }
      }
      pool_.insert(pool_.end(), std::move(node));
    }

    Members::node_type Pop() noexcept {
      if (stack_.empty()) return pool_.extract(std::prev(pool_.end()));
      Members::node_type node = std::move(stack_.back());
      stack_.pop_back();
      return node;
    }

    [[nodiscard]] bool empty() const noexcept {
      return stack_.empty() && pool_.empty();
    }

   private:
    struct AllEqual {
      bool operator()(const std::u16string&,
                      const std::u16string&) const noexcept {
        return false;
      }
    };
    using Pool = std::multimap<std::u16string, JsonVariant, AllEqual>;
    static_assert(std::is_same_v<Pool::node_type, Members::node_type>);
    static_assert(std::is_nothrow_default_constructible_v<Pool>);

    std::vector<Members::node_type> stack_;
    Pool pool_;
  };

  // Moves out of members, onto pending, each member whose value holds an
  // object that is not empty. What stays behind frees without recursing.
  static void TakeNested(Members& members, Pending& pending) noexcept {
    for (auto member = members.begin(); member != members.end();) {
      const auto next = std::next(member);
      if (HasChildren(member->second)) pending.Push(members.extract(member));
      member = next;
    }
  }

  static void Release(Members& members) noexcept {
    Pending pending;
    TakeNested(members, pending);
    while (!pending.empty()) {
      const Members::node_type node = pending.Pop();
      ForEachChild(node.mapped(), [&pending](CJsonObj& child) {
        TakeNested(child.members_, pending);
      });
    }
  }
};

// The map's own copy clones its nodes as they stand, twice as fast as
// inserting them one by one, so the shallow levels, all there is in a usual
// document, take it.
CJsonObj::CJsonObj(const CJsonObj& other) {
  if (t_walks.copyDepth >= kRecursiveDepth) {
    Tree::Copy(other, *this);
    return;
  }
  const Nesting nesting(t_walks.copyDepth);
  members_ = other.members_;
}

CJsonObj::~CJsonObj() {
  if (members_.empty()) return;
  if (t_walks.releaseDepth >= kRecursiveDepth) {
    Tree::Release(members_);
    return;
  }
  {
    const Nesting nesting(t_walks.releaseDepth);
    members_.clear();
  }
  if (t_walks.releaseDepth == 0) t_walks.freeOutOfMemory = false;
}

bool operator==(const CJsonObj& left, const CJsonObj& right) {
  return CJsonObj::Tree::Equal(left, right);
}

CJsonObj::CJsonObj(
    std::initializer_list<std::pair<std::u16string, JsonVariant>> pairs) {
  for (const auto& [key, value] : pairs) (*this)[key] = value;
}

// In both, the old members leave with an object, so that they are freed as
// an object's are, as one free.
CJsonObj& CJsonObj::operator=(const CJsonObj& other) {
  CJsonObj copy(other);
  members_.swap(copy.members_);
  return *this;
}

CJsonObj& CJsonObj::operator=(CJsonObj&& other) noexcept(
    std::is_nothrow_move_constructible_v<Members>) {
  CJsonObj taken(std::move(other));
  members_.swap(taken.members_);
  return *this;
}

CJsonValue CJsonObj::operator[](std::u16string_view key) & {
  return AccessMember(members_, key);
}

CJsonValue CJsonObj::operator[](std::string_view key) & {
  return AccessMember(members_, Utf8ToWide(key));
}

const JsonVariant* CJsonObj::Find(std::u16string_view key) const {
  const auto member = members_.find(key);
  return member == members_.end() ? nullptr : &member->second;
}

const JsonVariant& CJsonObj::At(std::u16string_view key) const& {
  if (const JsonVariant* value = Find(key)) return *value;
  throw std::out_of_range("invalid map<K, T> key");
}

JsonVariant& CJsonObj::At(std::u16string_view key) & {
  return const_cast<JsonVariant&>(std::as_const(*this).At(key));
}
