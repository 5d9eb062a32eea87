// NetworkManager's applied connections over the system D-Bus, asked with a short timeout.
#include "net/linux/network_manager.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QString>
#include <QVariantMap>

#include "net/linux/net_namespace.h"

namespace {

constexpr auto kKeepAnswer = std::chrono::seconds(3);
// The lookup runs on the window's thread every second: a slow bus must not freeze it.
constexpr int kCallTimeoutMs = 200;
const QString kService = QStringLiteral("org.freedesktop.NetworkManager");

QDBusMessage Call(const QDBusMessage& request) {
  return QDBusConnection::systemBus().call(request, QDBus::Block, kCallTimeoutMs);
}

// ipv4.method of an a{sa{sv}} connection.
QString Ipv4Method(const QDBusArgument& connection) {
  QString method;
  connection.beginMap();
  while (!connection.atEnd()) {
    QString setting;
    QVariantMap values;
    connection.beginMapEntry();
    connection >> setting >> values;
    connection.endMapEntry();
    if (setting == QLatin1String("ipv4"))
      method = values.value(QStringLiteral("method")).toString();
  }
  connection.endMap();
  return method;
}

bool Unreachable(const QDBusMessage& reply) {
  const QDBusError::ErrorType type = QDBusError(reply).type();
  return type == QDBusError::ServiceUnknown || type == QDBusError::NoReply ||
         type == QDBusError::TimedOut || type == QDBusError::Disconnected ||
         type == QDBusError::NoServer;
}

}  // namespace

bool NetworkManagerDhcp::UsesDhcp(const std::string& interface) {
  const Clock::time_point now = Clock::now();
  if (now < quiet_until_) return false;
  const auto cached = answers_.find(interface);
  if (cached != answers_.end() && now - cached->second.time < kKeepAnswer) {
    return cached->second.dhcp;
  }
  unreachable_ = false;
  const bool dhcp = Ask(interface);
  if (unreachable_) {
    quiet_until_ = Clock::now() + kKeepAnswer;
    answers_.clear();
    return false;
  }
  answers_[interface] = {dhcp, Clock::now()};
  return dhcp;
}

bool NetworkManagerDhcp::Ask(const std::string& interface) {
  // NetworkManager serves the initial namespace; in another one an interface of the same name is
  // a different interface.
  if (SameNetNamespace("1") == NamespaceMatch::kOther ||
      !QDBusConnection::systemBus().isConnected()) {
    unreachable_ = true;
    return false;
  }
  QDBusMessage find =
      QDBusMessage::createMethodCall(kService, QStringLiteral("/org/freedesktop/NetworkManager"),
                                     kService, QStringLiteral("GetDeviceByIpIface"));
  find << QString::fromStdString(interface);
  const QDBusMessage device = Call(find);
  if (device.type() != QDBusMessage::ReplyMessage || device.arguments().isEmpty()) {
    unreachable_ = Unreachable(device);
    return false;  // also: an interface NetworkManager does not know
  }
  const QString path = device.arguments().first().value<QDBusObjectPath>().path();
  if (path.isEmpty()) return false;

  QDBusMessage applied = QDBusMessage::createMethodCall(
      kService, path, kService + QStringLiteral(".Device"), QStringLiteral("GetAppliedConnection"));
  applied << 0u;
  const QDBusMessage reply = Call(applied);
  if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
    unreachable_ = Unreachable(reply);
    return false;  // also: an unmanaged device, which has no applied connection
  }
  const QVariant connection = reply.arguments().first();
  if (!connection.canConvert<QDBusArgument>()) return false;
  return Ipv4Method(connection.value<QDBusArgument>()) == QLatin1String("auto");
}
