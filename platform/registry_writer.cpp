// A test helper: stores the same sixteen values, each naming this writer, over and over, the
// way one copy of the program saves its settings when it closes.
//   registry_writer FILE WRITER-ID ROUNDS
#include <QCoreApplication>
#include <QFile>

#include <cstdlib>
#include <string>

#include "platform/registry.h"

int main(int argc, char** argv) {
  QCoreApplication application(argc, argv);
  if (argc != 4) return 2;
  const QString file = QFile::decodeName(argv[1]);
  const std::string id = argv[2];
  const int rounds = std::atoi(argv[3]);
  for (int round = 0; round < rounds; ++round) {
    snipforge::RegistryKey key;
    if (key.Create(file, snipforge::KeyAccess::kReadWrite) != snipforge::kRegistrySuccess) {
      return 1;
    }
    for (int value = 0; value < 16; ++value) {
      const std::string name = "value" + std::to_string(value);
      const std::string data = id + "-" + std::to_string(value) + std::string(200, '.');
      (void)key.SetValue(name.c_str(), data.data(), static_cast<std::uint32_t>(data.size()));
    }
    if (key.Close() != snipforge::kRegistrySuccess) return 1;
  }
  return 0;
}
