package touchline.host.robot;

/** The robot touched another robot during the step. */
public final class HitRobotEvent extends Event {
    private final int hited;

    public HitRobotEvent(int hited) {
        super(HIT_ROBOT);
        this.hited = hited;
    }

    /** Id of the other robot. */
    public int getHited() {
        return hited;
    }

    @Override
    public String toString() {
        return getType() + "(" + hited + ")";
    }
}
