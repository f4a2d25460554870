/* SPDX-License-Identifier: MIT */
// Values a program has computed where its current step is sure to have
// passed, by the kind and operands that compute them: a node like one of
// them is that value. The keys are kept in order, so that the values a
// branch computed can be forgotten when it ends.
#pragma once

#include <string>
#include <unordered_map>
#include <vector>

#include "eval/program.h"

namespace zv::detail {

class KnownValues {
   public:
    // The key of kind over args.
    static std::string KeyOf(int32_t kind, const Operand* args, int32_t arity) {
        std::string key(reinterpret_cast<const char*>(&kind), sizeof kind);
        for (int32_t i = 0; i < arity; ++i) {
            key += static_cast<char>(args[i].mode);
            key.append(reinterpret_cast<const char*>(&args[i].v), sizeof args[i].v);
        }
        return key;
    }
    const Operand* Find(const std::string& key) const {
        const auto known = by_key_.find(key);
        return known == by_key_.end() ? nullptr : &known->second;
    }
    void Add(std::string key, Operand value) {
        by_key_.emplace(key, value);
        keys_.push_back(std::move(key));
    }
    // Where a branch starts; Forget(Mark()) at its end drops what it added.
    size_t Mark() const { return keys_.size(); }
    void Forget(size_t mark) {
        for (size_t i = mark; i < keys_.size(); ++i) by_key_.erase(keys_[i]);
        keys_.resize(mark);
    }

   private:
    std::unordered_map<std::string, Operand> by_key_;
    std::vector<std::string> keys_;
};

}  // namespace zv::detail
