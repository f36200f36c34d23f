#include "dialog_template.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <map>

namespace gui {

namespace {
std::vector<std::string> Strings(const QJsonValue& v) {
  std::vector<std::string> out;
  for (const auto& s : v.toArray()) out.push_back(s.toString().toStdString());
  return out;
}

std::optional<ControlKind> KindFromName(const QString& k) {
  static const std::map<QString, ControlKind> kinds = {
      {"pushbutton", ControlKind::PushButton}, {"checkbox", ControlKind::CheckBox},
      {"combobox", ControlKind::ComboBox},     {"edit", ControlKind::Edit},
      {"multilineedit", ControlKind::MultiLineEdit}, {"text", ControlKind::FixedText},
      {"groupbox", ControlKind::GroupBox}};
  auto it = kinds.find(k);
  if (it == kinds.end()) return std::nullopt;
  return it->second;
}
}  // namespace

bool ControlTemplate::HasStyle(const std::string& s) const {
  return std::find(styles.begin(), styles.end(), s) != styles.end();
}

bool DialogTemplate::HasStyle(const std::string& s) const {
  return std::find(styles.begin(), styles.end(), s) != styles.end();
}

const ControlTemplate* DialogTemplate::Find(const std::string& controlName) const {
  for (const auto& c : controls)
    if (c.name == controlName) return &c;
  return nullptr;
}

std::optional<DialogTemplate> LoadDialogTemplate(const std::string& name, std::string* error) {
  auto fail = [&](const std::string& why) -> std::optional<DialogTemplate> {
    if (error) *error = "dialog template " + name + ": " + why;
    return std::nullopt;
  };
  QFile file(QString(":/templates/%1.json").arg(QString::fromStdString(name)));
  if (!file.open(QIODevice::ReadOnly)) return fail("not found");
  QJsonParseError parseError;
  QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &parseError);
  if (!doc.isObject()) return fail(parseError.errorString().toStdString());
  QJsonObject o = doc.object();
  DialogTemplate t;
  t.name = name;
  t.caption = o["caption"].toString().toStdString();
  t.width = o["size"].toArray().at(0).toInt();
  t.height = o["size"].toArray().at(1).toInt();
  t.fontFace = o["font"].toObject()["face"].toString().toStdString();
  t.fontPoints = o["font"].toObject()["points"].toInt(8);
  t.styles = Strings(o["styles"]);
  for (const auto& cv : o["controls"].toArray()) {
    QJsonObject c = cv.toObject();
    auto kind = KindFromName(c["kind"].toString());
    if (!kind) return fail("unknown control kind " + c["kind"].toString().toStdString());
    ControlTemplate ct;
    ct.id = c["id"].toInt();
    ct.kind = *kind;
    ct.name = c["name"].toString().toStdString();
    ct.text = c["text"].toString().toStdString();
    ct.x = c["at"].toArray().at(0).toInt();
    ct.y = c["at"].toArray().at(1).toInt();
    ct.width = c["size"].toArray().at(0).toInt();
    ct.height = c["size"].toArray().at(1).toInt();
    ct.visible = c["visible"].toBool(true);
    ct.styles = Strings(c["styles"]);
    if (ct.name.empty()) return fail("control without a name");
    t.controls.push_back(std::move(ct));
  }
  return t;
}

}  // namespace gui
