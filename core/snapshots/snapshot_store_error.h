// SnapshotStoreError: the snapshot store's own refusal, and SnapshotSaveError: everything `save`
// can report (that refusal, or the encoder's or the file system's error), each as one sentence.
#pragma once

#include <string>
#include <variant>

#include "brimwell/core/base/error.h"

namespace brimwell {

class SnapshotStoreError {
 public:
  enum class Kind { invalidID };

  // A snapshot whose identifier isn't one (Kind::invalidID), carrying that text.
  static SnapshotStoreError invalidID(std::string id) {
    return SnapshotStoreError(Kind::invalidID, std::move(id));
  }

  Kind kind() const { return kind_; }
  const std::string& id() const { return id_; }
  // For example: "latest" is not a snapshot identifier.
  std::string describe() const { return "\"" + id_ + "\" is not a snapshot identifier."; }

  friend bool operator==(const SnapshotStoreError&, const SnapshotStoreError&) = default;

 private:
  SnapshotStoreError(Kind kind, std::string id) : kind_(kind), id_(std::move(id)) {}
  Kind kind_;
  std::string id_;
};

class SnapshotSaveError {
 public:
  SnapshotSaveError(SnapshotStoreError error) : cause_(std::move(error)) {}
  SnapshotSaveError(Error error) : cause_(std::move(error)) {}

  // The store's refusal, or nothing when the encoder or the file system failed.
  const SnapshotStoreError* storeError() const { return std::get_if<SnapshotStoreError>(&cause_); }
  // The encoder's or the file system's error, or nothing for the store's refusal.
  const Error* fileError() const { return std::get_if<Error>(&cause_); }

  // One sentence, for "Couldn't save the snapshot: " + message().
  std::string message() const {
    if (const auto* store = storeError()) return store->describe();
    return std::get<Error>(cause_).message();
  }

  friend bool operator==(const SnapshotSaveError&, const SnapshotSaveError&) = default;

 private:
  std::variant<SnapshotStoreError, Error> cause_;
};

}  // namespace brimwell
