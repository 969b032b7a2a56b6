#include "sim/components/login_components.h"

#include <memory>

#include "automation/ascii.h"
#include "automation/convert.h"
#include "automation/err_object.h"
#include "host/contract.h"
#include "sim/db/database.h"
#include "sim/runtime/host_object.h"

namespace mto::sim {

using automation::raiseError;

namespace {

class ShareProps : public HostObject<ShareProps> {
 public:
  explicit ShareProps(Environment& env) : env_(env) {}
  static const MemberTable<ShareProps>& members() {
    static const MemberTable<ShareProps> table = [] {
      MemberTable<ShareProps> t("ShareProps");
      t.add("GetProperty", [](ShareProps& self, CallKind, Args args) -> Variant {
        auto pid = static_cast<uint32_t>(automation::toLong(requiredArg(args, 0)));
        std::string name = automation::toText(requiredArg(args, 1));
        auto process = self.env_.shareProps.find(pid);
        if (process == self.env_.shareProps.end()) return {};
        for (const auto& [key, value] : process->second)
          if (automation::equalsIgnoreCase(key, name)) return value;
        return {};
      });
      return t;
    }();
    return table;
  }

 private:
  Environment& env_;
};

class FrmResLoader : public HostObject<FrmResLoader> {
 public:
  explicit FrmResLoader(Environment& env) : env_(env) {}
  static const MemberTable<FrmResLoader>& members() {
    static const MemberTable<FrmResLoader> table = [] {
      MemberTable<FrmResLoader> t("FrmResLoader");
      t.add("SetFrmFont", [](FrmResLoader& self, CallKind, Args args) -> Variant {
        self.env_.formFontCalls.emplace_back(automation::typeNameOf(requiredArg(args, 0)),
                                             automation::toText(requiredArg(args, 1)));
        return {};
      });
      return t;
    }();
    return table;
  }

 private:
  Environment& env_;
};

class Log : public HostObject<Log> {
 public:
  explicit Log(Environment& env) : env_(env) {}
  static const MemberTable<Log>& members() {
    static const MemberTable<Log> table = [] {
      MemberTable<Log> t("Log");
      t.add("IsEnabled", [](Log& self, CallKind, Args) -> Variant { return self.env_.logEnabled; });
      t.add("LogStart", [](Log& self, CallKind, Args args) -> Variant {
        auto handle = static_cast<int32_t>(self.env_.logScopes.size() + 1);
        self.env_.logScopes.push_back({automation::toText(requiredArg(args, 0)), handle, std::nullopt});
        return handle;
      });
      t.add("LogEnd", [](Log& self, CallKind, Args args) -> Variant {
        auto handle = automation::toLong(requiredArg(args, 0));
        auto code = automation::toLong(requiredArg(args, 1));
        if (handle < 1 || static_cast<size_t>(handle) > self.env_.logScopes.size())
          raiseError(automation::errc::kInvalidCall, "Unknown log handle", "Log");
        self.env_.logScopes[static_cast<size_t>(handle - 1)].code = code;
        return {};
      });
      return t;
    }();
    return table;
  }

 private:
  Environment& env_;
};

class MessageService : public HostObject<MessageService> {
 public:
  explicit MessageService(Environment& env) : env_(env) {}
  static const MemberTable<MessageService>& members() {
    static const MemberTable<MessageService> table = [] {
      MemberTable<MessageService> t("MessageService");
      t.add("ShowMessage", [](MessageService& self, CallKind, Args args) -> Variant {
        self.env_.messages.push_back(
            {MessageRecord::Kind::Message, automation::toText(requiredArg(args, 0)), std::nullopt});
        return {};
      });
      t.add("ShowError", [](MessageService& self, CallKind, Args args) -> Variant {
        const Variant& errObject = requiredArg(args, 0);
        automation::ErrorInfo info;
        info.number = automation::toLong(automation::get(errObject, "Number"));
        info.source = automation::toText(automation::get(errObject, "Source"));
        info.description = automation::toText(automation::get(errObject, "Description"));
        info.helpFile = automation::toText(automation::get(errObject, "HelpFile"));
        info.helpContext = automation::toLong(automation::get(errObject, "HelpContext"));
        self.env_.messages.push_back({MessageRecord::Kind::Error, info.description, info});
        return {};
      });
      return t;
    }();
    return table;
  }

 private:
  Environment& env_;
};

/// Resource texts come from the database; a key the resource file lacks gives the key itself.
class ResourceLoader : public HostObject<ResourceLoader> {
 public:
  explicit ResourceLoader(Database& db) : db_(db) {}
  static const MemberTable<ResourceLoader>& members() {
    static const MemberTable<ResourceLoader> table = [] {
      MemberTable<ResourceLoader> t("Loader");
      t.add("ResFileBaseName", [](ResourceLoader& self, CallKind kind, Args args) -> Variant {
        if (kind == CallKind::PropertyPut) {
          self.baseName_ = automation::toText(requiredArg(args, 0));
          return {};
        }
        return self.baseName_;
      });
      t.add("LanguageID", [](ResourceLoader& self, CallKind kind, Args args) -> Variant {
        if (kind == CallKind::PropertyPut) {
          self.language_ = automation::toText(requiredArg(args, 0));
          return {};
        }
        return self.language_;
      });
      t.add("LoadString", [](ResourceLoader& self, CallKind, Args args) -> Variant {
        std::string key = automation::toText(requiredArg(args, 0));
        if (auto text = self.db_.resourceText(key, self.language_)) return *text;
        return key;
      });
      return t;
    }();
    return table;
  }

 private:
  Database& db_;
  std::string baseName_;
  std::string language_;
};

/// Rights come from the database for the login's user ("UserID" of the login property string).
class GLData : public HostObject<GLData> {
 public:
  GLData(Environment& env, Database& db) : env_(env), db_(db) {}
  static const MemberTable<GLData>& members() {
    static const MemberTable<GLData> table = [] {
      MemberTable<GLData> t("GLData");
      t.add("AccessCheck", [](GLData& self, CallKind, Args args) -> Variant {
        return self.db_.isAllowed(self.userId(), automation::toLong(requiredArg(args, 0)),
                                  automation::toLong(requiredArg(args, 1)),
                                  automation::toLong(requiredArg(args, 2)));
      });
      return t;
    }();
    return table;
  }

 private:
  int userId() const {
    auto process = env_.shareProps.find(automation::platform().processId());
    if (process == env_.shareProps.end()) return 0;
    auto props = process->second.find("PropsString");
    if (props == process->second.end() || !props->second.isString()) return 0;
    const std::string& s = props->second.stringValue();
    // "key=value;" pairs; the user id is a whole number.
    size_t start = 0;
    while (start < s.size()) {
      size_t end = s.find(';', start);
      std::string_view pair(s.data() + start, (end == std::string::npos ? s.size() : end) - start);
      if (pair.size() > 7 && automation::ascii::startsWithIgnoreCase(pair, "UserID="))
        return automation::wholeNumberLong(pair.substr(7));
      if (end == std::string::npos) break;
      start = end + 1;
    }
    return 0;
  }
  Environment& env_;
  Database& db_;
};

}  // namespace

void registerLoginComponents(automation::RegistryPlatform& platform, Environment& env, Database& db) {
  using namespace host::progid;
  platform.registerFactory(std::string(kShareProps), [&env] { return std::make_shared<ShareProps>(env); });
  platform.registerFactory(std::string(kFormResourceLoader),
                           [&env] { return std::make_shared<FrmResLoader>(env); });
  platform.registerFactory(std::string(kLog), [&env] { return std::make_shared<Log>(env); });
  platform.registerFactory(std::string(kMessageService),
                           [&env] { return std::make_shared<MessageService>(env); });
  platform.registerFactory(std::string(kResourceLoader),
                           [&db] { return std::make_shared<ResourceLoader>(db); });
  platform.registerFactory(std::string(kAccessChecker),
                           [&env, &db] { return std::make_shared<GLData>(env, db); });
}

}  // namespace mto::sim
