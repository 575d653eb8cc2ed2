#include "platform/registry.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QVariant>

#include <cstring>

namespace snipforge {
namespace {

// True when this user may replace `file`, which takes writing into its folder as well.
bool MayWrite(const QString& file) {
  const QString folder = QFileInfo(file).absolutePath();
  if (!QDir().mkpath(folder) || !QFileInfo(folder).isWritable()) return false;
  QFile probe(file);
  const bool created = !probe.exists();
  if (!probe.open(QIODevice::ReadWrite)) return false;  // creates a missing file, never truncates
  if (created) {
    // The store is shared by every user of the machine, so each of them may write it.
    probe.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                         QFileDevice::ReadGroup | QFileDevice::WriteGroup |
                         QFileDevice::ReadOther | QFileDevice::WriteOther);
  }
  return true;
}

}  // namespace

RegistryKey::RegistryKey() = default;

RegistryKey::~RegistryKey() { Close(); }

long RegistryKey::Create(const QString& file, KeyAccess access) {
  Close();
  if (access == KeyAccess::kReadWrite ? !MayWrite(file) : !QFileInfo(file).isReadable()) {
    return access == KeyAccess::kReadWrite ? kRegistryAccessDenied : kRegistryNotFound;
  }
  settings_ = std::make_unique<QSettings>(file, QSettings::IniFormat);
  writable_ = access == KeyAccess::kReadWrite;
  damaged_ = settings_->status() != QSettings::NoError;
  return kRegistrySuccess;
}

long RegistryKey::QueryValue(const char* name, char* data, std::uint32_t& size) const {
  if (!settings_ || damaged_) return kRegistryNotFound;
  const QVariant value = settings_->value(QString::fromLatin1(name));
  // The store writes nothing but byte strings; anything else was not written by it.
  if (value.typeId() != QMetaType::QByteArray) return kRegistryNotFound;
  const QByteArray bytes = value.toByteArray();
  const auto stored = static_cast<std::uint32_t>(bytes.size());
  const bool fits = stored <= size;
  size = stored;
  if (!fits) return kRegistryMoreData;
  if (stored > 0) std::memcpy(data, bytes.constData(), stored);
  return kRegistrySuccess;
}

long RegistryKey::SetValue(const char* name, const char* data, std::uint32_t size) {
  if (!writable_) return kRegistryAccessDenied;
  settings_->setValue(QString::fromLatin1(name),
                      QByteArray(data, static_cast<qsizetype>(size)));
  return kRegistrySuccess;
}

long RegistryKey::Close() {
  if (!settings_) return kRegistrySuccess;
  settings_->sync();
  const bool written = settings_->status() != QSettings::AccessError;
  settings_.reset();
  writable_ = false;
  damaged_ = false;
  return written ? kRegistrySuccess : kRegistryAccessDenied;
}

}  // namespace snipforge
