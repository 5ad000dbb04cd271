#include "adapter/FootballAdapter.h"

#include <exception>
#include <string>

#include "adapter/JavaUtils.h"
#include "commands/Debug.h"
#include "commands/Operate.h"
#include "events/Action.h"
#include "world/Info.h"

namespace {

bool initialized = false;
JNIEnv* envBuffer = nullptr;
jobject jrobotBuffer = nullptr;

// Shows why the robot stopped in the host's debug console. A failure here changes nothing:
// the robot has stopped either way.
void reportStop(const std::string& text) {
    try {
        LocalRef console(envBuffer, getDebugConsole());
        JavaUtils::setString(envBuffer, console.get(), "print", text);
    } catch (...) {
    }
}

void runStrategy(JNIEnv* env) {
    if (!initialized) {
        initialized = true;
        updateInitialize(env);
        updateStatus(env);
        updateAction(env);
        initialize();
    } else {
        updateStatus(env);
        updateAction(env);
    }
    run();
}

}  // namespace

extern "C" int adapterInit(void) {
    return 1;
}

extern "C" void adapterRun(JNIEnv* env, jobject adapter) {
    envBuffer = env;
    jrobotBuffer = adapter;
    // Nothing thrown may cross into the host's native frame.
    try {
        runStrategy(env);
    } catch (const HostException&) {
        // The host's own exception is still pending: that is the native call's result.
    } catch (const std::string& error) {
        reportStop(error);
    } catch (const std::exception& error) {
        reportStop(std::string("strategy stopped: ") + error.what());
    } catch (...) {
        reportStop("strategy stopped: unknown error");
    }
}

extern "C" void adapterClearup(void) {}

jobject getInfoConsole() {
    return JavaUtils::readObject(envBuffer, jrobotBuffer, "getInfoConsole");
}

jobject getOperateConsole() {
    return JavaUtils::readObject(envBuffer, jrobotBuffer, "getOperateConsole");
}

jobject getDebugConsole() {
    return JavaUtils::readObject(envBuffer, jrobotBuffer, "getDebugConsole");
}

void commitExecute() {
    LocalRef console(envBuffer, getOperateConsole());
    HostMethod method = JavaUtils::findMethod(envBuffer, console.get(), "execute", "()V");
    if (method) {
        envBuffer->functions->CallVoidMethod(envBuffer, console.get(), method.id);
        JavaUtils::checkHostException(envBuffer);
    }
    method.cls.reset();
    console.reset();
}

extern "C" void execute(void) {
    commitOperate(envBuffer);
    commitDebug(envBuffer);
    commitExecute();
    updateStatus(envBuffer);
    updateAction(envBuffer);
}
