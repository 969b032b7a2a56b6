#include "automation/err_object.h"

#include <memory>

namespace mto::automation {

namespace {
class ErrObject : public Object {
 public:
  explicit ErrObject(ErrorInfo info) : info_(std::move(info)) {}
  std::string typeName() const override { return "ErrObject"; }

  Variant invoke(std::string_view member, CallKind kind, Args args) override {
    if (kind == CallKind::PropertyPut || kind == CallKind::PropertyPutRef || !args.empty())
      raiseError(errc::kActionNotSupported);
    if (member.empty() || equalsIgnoreCase(member, "Number")) return info_.number;
    if (equalsIgnoreCase(member, "Source")) return info_.source;
    if (equalsIgnoreCase(member, "Description")) return info_.description;
    if (equalsIgnoreCase(member, "HelpFile")) return info_.helpFile;
    if (equalsIgnoreCase(member, "HelpContext")) return info_.helpContext;
    raiseError(errc::kMemberNotFound);
  }

 private:
  ErrorInfo info_;
};
}  // namespace

ObjectPtr makeErrObject(const ErrorInfo& info) {
  return std::make_shared<ErrObject>(info);
}

}  // namespace mto::automation
