// Callback: a function of (client data, argument), its client data and the
// scheduling context current when the callback was made. Used for platform
// event subscriptions and by clients for their own callback lists.
#pragma once

#include "nxmp/sched_context.h"

using CallbackFunction = void (*)(void* client_data, void* argument);

class Callback {
 public:
  Callback(CallbackFunction function, void* client_data);

  // Runs the function in the captured context. An exception escaping it is
  // reported on standard error ("Uncaught %s in callback: %s") and does not
  // propagate.
  void invoke(void* argument) const;
  void operator()(void* argument) const { invoke(argument); }

  CallbackFunction function() const { return function_; }
  void* client_data() const { return client_data_; }
  SchedContext* context() const { return context_; }

 private:
  CallbackFunction function_;
  void* client_data_;
  SchedContext* context_;
};
