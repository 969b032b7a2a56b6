#include "support/frm_bar.h"

#include <memory>
#include <vector>

#include "automation/convert.h"
#include "automation/error.h"
#include "automation/property_object.h"
#include "automation/thread_state.h"
#include "support/login_environment.h"

namespace mto::support {

using automation::Args;
using automation::CallKind;
using automation::ObjectPtr;
using automation::PropertyObject;
using automation::Variant;

namespace {

/// The store's tool collection: default member / "Item" by key (or 1-based position), "Count".
class TemplateTools : public automation::Object {
 public:
  std::string typeName() const override { return "Tools"; }

  void add(std::shared_ptr<PropertyObject> tool) { tools_.push_back(std::move(tool)); }

  Variant invoke(std::string_view member, CallKind kind, Args args) override {
    if (automation::equalsIgnoreCase(member, "Count")) return static_cast<int32_t>(tools_.size());
    if (!member.empty() && !automation::equalsIgnoreCase(member, "Item"))
      automation::raiseError(automation::errc::kMemberNotFound, {}, "Tools");
    if (kind == CallKind::PropertyPut || kind == CallKind::PropertyPutRef || args.size() != 1)
      automation::raiseError(automation::errc::kWrongArgumentCount, {}, "Tools");
    const Variant& which = args[0].value();
    if (which.isString()) {
      for (const auto& tool : tools_)
        if (automation::toText(tool->value("Name")) == which.stringValue()) return ObjectPtr(tool);
      automation::raiseError(automation::errc::kInvalidCall, "Tool not found: " + which.stringValue(),
                             "Tools");
    }
    auto index = automation::toLong(which);
    if (index < 1 || static_cast<size_t>(index) > tools_.size())
      automation::raiseError(automation::errc::kSubscriptOutOfRange, {}, "Tools");
    return ObjectPtr(tools_[static_cast<size_t>(index - 1)]);
  }

 private:
  std::vector<std::shared_ptr<PropertyObject>> tools_;
};

std::shared_ptr<PropertyObject> templateTool(const char* key, const char* caption, const char* category) {
  auto tool = std::make_shared<PropertyObject>("Tool");
  tool->set("Name", key);
  tool->set("Caption", caption);
  tool->set("Category", category);
  tool->set("Description", caption);
  tool->set("BeginGroup", false);
  tool->set("Visible", true);
  tool->set("Enabled", true);
  return tool;
}

ObjectPtr loadForm() {
  auto tools = std::make_shared<TemplateTools>();
  tools->add(templateTool("Check", "审核(&C)", "Tools"));
  tools->add(templateTool("UnCheck", "反审核(&U)", "Menus"));
  auto store = std::make_shared<PropertyObject>("ActiveBar3");
  store->set("Name", "abInstall");
  store->set("Tools", ObjectPtr(tools));
  auto form = std::make_shared<PropertyObject>("frmBar");
  form->set("Name", "frmBar");
  form->set("Caption", "Form1");
  form->set("Visible", false);
  form->set("abInstall", ObjectPtr(store));
  support::SetFormFont(form);
  return form;
}

struct FormState {
  ObjectPtr form;
};

}  // namespace

ObjectPtr frmBar() {
  auto& state = automation::threadState().module<FormState>();
  if (!state.form) state.form = loadForm();
  return state.form;
}

}  // namespace mto::support
