// A private smbd serving a folder of write directories through the shipped
// share definition on a free loopback port (scripts/samba-loopback.sh), for
// tests and benchmarks that read through SMB. It needs root (smbd switches to
// the guest account) and writes nothing outside its own temporary folder.
// The process becomes a child subreaper, so that it can wait for every smbd
// process to end. Threads: create and destroy on one thread.
#pragma once
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <string>

class LoopbackShare {
 public:
  // Starts smbd and waits until it answers (about 0.2 s); see problem().
  explicit LoopbackShare(const QString& folder);
  ~LoopbackShare();  // stops smbd and every process it started
  LoopbackShare(const LoopbackShare&) = delete;
  LoopbackShare& operator=(const LoopbackShare&) = delete;

  const std::string& problem() const { return problem_; }  // empty: serving
  // "smb://127.0.0.1:<port>/selvane/<path>"
  std::string url(const std::string& path) const;
  // The first line of smbd's log that tells of trouble (a panic, a lost
  // share-mode record); empty when there is none.
  std::string trouble() const;

 private:
  QTemporaryDir work_;
  QProcess smbd_;  // its process group holds smbd's children too
  int port_ = 0;
  std::string problem_;
};
