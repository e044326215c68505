// Reading a loopback share through SMB with libsmbclient's process-wide
// context, logged in as a guest (the share of scripts/samba-loopback.sh).
// Threads: the context is one per process; use it from one thread.
#pragma once
#include <libsmbclient.h>

#include <cstring>

// Once per process, before any smbc_ call. False when libsmbclient cannot start.
inline bool initSmbGuest() {
  static const int result = smbc_init(
      [](const char*, const char*, char*, int, char* user, int userLength, char* password, int) {
        std::strncpy(user, "guest", static_cast<size_t>(userLength) - 1);
        password[0] = '\0';
      },
      0);
  return result == 0;
}
