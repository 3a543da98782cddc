// SchedContext: the scheduling context code runs in. A Callback captures the
// context current when it is made and runs its function in that context, so
// that code a callback calls sees the context of whoever registered it.
//
// Each thread has a current context; it is the process's default context
// until a Scope installs another.
#pragma once

#include <string>

class SchedContext {
 public:
  explicit SchedContext(std::string name) : name_(std::move(name)) {}
  SchedContext(const SchedContext&) = delete;
  SchedContext& operator=(const SchedContext&) = delete;

  const std::string& name() const { return name_; }

  // The calling thread's current context (never null).
  static SchedContext* current();
  static SchedContext* default_context();

  // Makes a context current on this thread for the scope's life.
  class Scope {
   public:
    explicit Scope(SchedContext* context);
    ~Scope();
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

   private:
    SchedContext* previous_;
  };

 private:
  std::string name_;
};
