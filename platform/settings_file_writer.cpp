// A test helper: saves the same sixteen values, each naming this writer, over and over, the way
// one copy of the program saves its settings when it closes.
//   settings_file_writer FILE WRITER-ID ROUNDS
#include <QFile>

#include <cstdlib>
#include <string>

#include "platform/settings_file.h"

int main(int argc, char** argv) {
  if (argc != 4) return 2;
  const snipforge::StoreFile store{QFile::decodeName(argv[1]), snipforge::StoreOwner::kUser};
  const std::string id = argv[2];
  const int rounds = std::atoi(argv[3]);
  for (int round = 0; round < rounds; ++round) {
    snipforge::SettingsFile file;
    for (int value = 0; value < 16; ++value) {
      snipforge::WriteSettingValue(file, "value" + std::to_string(value),
                                   id + "-" + std::to_string(value) + std::string(200, '.'));
    }
    if (!snipforge::WriteSettingsFile(store, file)) return 1;
  }
  return 0;
}
