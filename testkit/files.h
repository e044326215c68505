// Whole-file reads and writes of the tests and benchmarks. A file that cannot
// be read reads as empty; the writes say whether every byte was written.
#pragma once
#include <QByteArray>
#include <QString>

#include <string>

namespace testkit {

QByteArray readFile(const QString& path);
bool writeFile(const QString& path, const QByteArray& bytes);
std::string readFile(const std::string& path);
inline std::string readFile(const char* path) { return readFile(std::string(path)); }
bool writeFile(const std::string& path, const std::string& bytes);

}  // namespace testkit
