#include "nxmp/callback.h"

#include <cstdio>
#include <exception>
#include <typeinfo>

namespace {
thread_local SchedContext* t_current = nullptr;
}

SchedContext* SchedContext::default_context() {
  static SchedContext* context = new SchedContext("default");  // used until exit
  return context;
}

SchedContext* SchedContext::current() { return t_current ? t_current : default_context(); }

SchedContext::Scope::Scope(SchedContext* context) : previous_(t_current) { t_current = context; }
SchedContext::Scope::~Scope() { t_current = previous_; }

Callback::Callback(CallbackFunction function, void* client_data)
    : function_(function), client_data_(client_data), context_(SchedContext::current()) {}

void Callback::invoke(void* argument) const {
  if (function_ == nullptr) return;
  SchedContext::Scope scope(context_);
  try {
    function_(client_data_, argument);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "Uncaught %s in callback: %s\n", typeid(e).name(), e.what());
  } catch (...) {
    std::fprintf(stderr, "Uncaught %s in callback: %s\n", "exception", "unknown");
  }
}
