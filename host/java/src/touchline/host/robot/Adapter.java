package touchline.host.robot;

/** The object a strategy is given: the root of its robot's three consoles. */
public final class Adapter {
    private final Object infoConsole;
    private final Object operateConsole;
    private final Object debugConsole;

    public Adapter(Object infoConsole, Object operateConsole, Object debugConsole) {
        this.infoConsole = infoConsole;
        this.operateConsole = operateConsole;
        this.debugConsole = debugConsole;
    }

    public Object getInfoConsole() {
        return infoConsole;
    }

    public Object getOperateConsole() {
        return operateConsole;
    }

    public Object getDebugConsole() {
        return debugConsole;
    }
}
