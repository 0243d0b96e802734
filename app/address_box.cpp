#include "app/address_box.h"

#include <QRegularExpression>
#include <QStringList>

namespace kelvane {

namespace {

enum class Shape { Invalid, Partial, Complete };

constexpr int kMaxHostName = 253;
constexpr int kMaxLabel = 63;
constexpr unsigned kMaxPort = 65535;

// Spaces around the text are ignored, as in the user and password boxes: ASCII and full-width.
QString TrimSpaces(const QString& text) {
  qsizetype first = 0, last = text.size();
  const auto space = [](QChar c) { return c == QChar(' ') || c == QChar(0x3000); };
  while (first < last && space(text[first])) ++first;
  while (last > first && space(text[last - 1])) --last;
  return text.mid(first, last - first);
}

// A dotted IPv4 address as the box has always taken it: four parts 0-255 without leading
// zeros; a prefix of one is usable too (missing parts read as 0).
Shape Ipv4Shape(const QString& text) {
  static const QRegularExpression kIpv4(QStringLiteral(
      "\\A(?:(?:25[0-5]|2[0-4]\\d|1\\d\\d|[1-9]?\\d)\\.){3}(?:25[0-5]|2[0-4]\\d|1\\d\\d|[1-9]?\\d)\\z"));
  const QRegularExpressionMatch match =
      kIpv4.match(text, 0, QRegularExpression::PartialPreferCompleteMatch);
  if (match.hasMatch()) return Shape::Complete;
  return match.hasPartialMatch() || text.isEmpty() ? Shape::Partial : Shape::Invalid;
}

std::string DottedAddress(const QString& text) {
  const QStringList parts = text.split(QLatin1Char('.'));
  std::string dotted;
  for (int i = 0; i < 4; ++i) {
    const int value = i < parts.size() ? parts[i].toInt() : 0;
    if (i > 0) dotted += '.';
    dotted += std::to_string(value);
  }
  return dotted;
}

bool IsDigits(const QString& text) {
  for (QChar c : text)
    if (c < QChar('0') || c > QChar('9')) return false;
  return true;
}

Shape HostNameShape(const QString& text) {
  if (text.size() > kMaxHostName) return Shape::Invalid;
  const QStringList labels = text.split(QLatin1Char('.'));
  Shape shape = Shape::Complete;
  for (qsizetype i = 0; i < labels.size(); ++i) {
    const QString& label = labels[i];
    if (label.isEmpty()) {
      if (i + 1 < labels.size()) return Shape::Invalid;  // leading dot or two dots in a row
      shape = Shape::Partial;                            // a dot just typed
      continue;
    }
    if (label.size() > kMaxLabel || label.startsWith(QLatin1Char('-'))) return Shape::Invalid;
    for (QChar c : label)
      if (!(c.isLetterOrNumber() && c.unicode() < 128) && c != QChar('-') && c != QChar('_'))
        return Shape::Invalid;
    if (label.endsWith(QLatin1Char('-'))) shape = Shape::Partial;
  }
  return shape;
}

// An IPv6 address (with an optional %zone). `unspecified` is set for "::".
Shape Ipv6Shape(const QString& text, bool& unspecified) {
  unspecified = false;
  QString address = text;
  const qsizetype percent = text.indexOf(QLatin1Char('%'));
  bool zoneMissing = false;
  if (percent >= 0) {
    const QString zone = text.mid(percent + 1);
    for (QChar c : zone)
      if (!(c.isLetterOrNumber() && c.unicode() < 128) && c != QChar('-') && c != QChar('_') &&
          c != QChar('.'))
        return Shape::Invalid;
    zoneMissing = zone.isEmpty();
    address = text.left(percent);
  }
  if (address.contains(QStringLiteral(":::")) || address.count(QStringLiteral("::")) > 1)
    return Shape::Invalid;
  const bool compressed = address.contains(QStringLiteral("::"));
  QStringList groups = address.split(QLatin1Char(':'));
  // An IPv4 tail ("::ffff:10.0.0.1") stands for two groups.
  int ipv4Tail = 0;
  if (groups.last().contains(QLatin1Char('.'))) {
    const Shape tail = Ipv4Shape(groups.last());
    if (tail == Shape::Invalid) return Shape::Invalid;
    if (tail == Shape::Partial) return Shape::Partial;
    ipv4Tail = 2;
    groups.removeLast();
  }
  int counted = ipv4Tail;
  bool complete = !zoneMissing, allZero = ipv4Tail == 0;
  for (qsizetype i = 0; i < groups.size(); ++i) {
    const QString& group = groups[i];
    if (group.isEmpty()) continue;  // part of "::", or one being typed
    if (group.size() > 4) return Shape::Invalid;
    for (QChar c : group)
      if (!QStringLiteral("0123456789abcdefABCDEF").contains(c)) return Shape::Invalid;
    if (group.toUInt(nullptr, 16) != 0) allZero = false;
    ++counted;
  }
  if (counted > 8 || (compressed && counted > 7)) return Shape::Invalid;
  // Empty groups other than the "::" one mean the address is still being typed.
  int empties = 0;
  for (const QString& group : groups) empties += group.isEmpty() ? 1 : 0;
  const int allowedEmpties = !compressed ? 0
                             : address == QStringLiteral("::") ? 3
                             : (address.startsWith(QStringLiteral("::")) ||
                                address.endsWith(QStringLiteral("::")))
                                 ? 2
                                 : 1;
  if (empties > allowedEmpties || (!compressed && counted < 8)) complete = false;
  unspecified = allZero;
  return complete ? Shape::Complete : Shape::Partial;
}

Shape PortShape(const QString& text, unsigned& port) {
  if (text.isEmpty()) return Shape::Partial;
  if (!IsDigits(text) || text.startsWith(QLatin1Char('0')) || text.size() > 5) return Shape::Invalid;
  port = text.toUInt();
  return port <= kMaxPort ? Shape::Complete : Shape::Invalid;
}

Shape Worst(Shape a, Shape b) { return a < b ? a : b; }

// The text's shape and, when complete, the address it names.
Shape Examine(const QString& typed, ServerAddress& address) {
  const QString text = TrimSpaces(typed);
  if (text.isEmpty()) return Shape::Partial;
  QString host, port;
  bool ipv6 = false, bracketOpen = false, portTyped = false;
  if (text.startsWith(QLatin1Char('['))) {
    ipv6 = true;
    const qsizetype close = text.indexOf(QLatin1Char(']'));
    bracketOpen = close < 0;
    host = bracketOpen ? text.mid(1) : text.mid(1, close - 1);
    const QString rest = bracketOpen ? QString() : text.mid(close + 1);
    if (!rest.isEmpty() && !rest.startsWith(QLatin1Char(':'))) return Shape::Invalid;
    portTyped = !rest.isEmpty();
    port = rest.mid(1);
  } else if (text.count(QLatin1Char(':')) >= 2) {
    ipv6 = true;  // a bare IPv6 address; no port without brackets
    host = text;
  } else {
    const qsizetype colon = text.indexOf(QLatin1Char(':'));
    portTyped = colon >= 0;
    host = portTyped ? text.left(colon) : text;
    port = portTyped ? text.mid(colon + 1) : QString();
  }

  Shape shape = Shape::Complete;
  if (ipv6) {
    bool unspecified = false;
    shape = host.isEmpty() ? Shape::Partial : Ipv6Shape(host, unspecified);
    if (bracketOpen) shape = Worst(shape, Shape::Partial);
    if (unspecified) shape = Worst(shape, Shape::Partial);
    address.host = host.toStdString();
  } else if (host.isEmpty()) {
    shape = Shape::Partial;  // ":3306" with the host still to come
  } else if (IsDigits(QString(host).remove(QLatin1Char('.')))) {
    shape = Ipv4Shape(host);
    address.host = DottedAddress(host);
    // Missing parts read as 0, as always; only the unspecified address is refused.
    if (shape != Shape::Invalid) shape = address.host == "0.0.0.0" ? Shape::Partial : Shape::Complete;
  } else {
    shape = HostNameShape(host);
    address.host = host.toStdString();
  }
  if (shape == Shape::Invalid) return shape;
  address.port = 0;
  if (portTyped) shape = Worst(shape, PortShape(port, address.port));
  return shape;
}

}  // namespace

std::optional<ServerAddress> ReadAddress(const QString& text) {
  ServerAddress address;
  if (Examine(text, address) != Shape::Complete) return std::nullopt;
  return address;
}

QValidator::State AddressValidator::validate(QString& input, int&) const {
  ServerAddress ignored;
  switch (Examine(input, ignored)) {
    case Shape::Complete:
      return Acceptable;
    case Shape::Partial:
      return Intermediate;
    case Shape::Invalid:
      break;
  }
  return Invalid;
}

}  // namespace kelvane
