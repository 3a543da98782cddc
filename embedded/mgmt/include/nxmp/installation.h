// Installation settings of the platform. Ours come from the process
// environment; a real installation may keep them elsewhere.
#pragma once

class Installation {
 public:
  // The setting's text, or null when it is not set.
  static const char* getenv(const char* name);
};
