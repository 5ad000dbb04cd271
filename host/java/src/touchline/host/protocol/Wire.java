package touchline.host.protocol;

import java.nio.BufferUnderflowException;
import java.nio.ByteBuffer;
import java.util.ArrayList;
import java.util.List;
import touchline.host.robot.Ball;
import touchline.host.robot.Court;
import touchline.host.robot.DebugConsole;
import touchline.host.robot.EllipseView;
import touchline.host.robot.Event;
import touchline.host.robot.HitRobotEvent;
import touchline.host.robot.HostList;
import touchline.host.robot.LineView;
import touchline.host.robot.Message;
import touchline.host.robot.MessageReceivedEvent;
import touchline.host.robot.OperateConsole;
import touchline.host.robot.RectangleView;
import touchline.host.robot.Robot;
import touchline.host.robot.Snapshot;
import touchline.host.robot.Team;
import touchline.host.robot.TextView;
import touchline.host.robot.View;

/**
 * The messages between the match and a robot process, and how each is written and read. See
 * docs/host.md, "Robot processes", for the exchange.
 */
public final class Wire {
    /** Robots a team may have. */
    public static final int MAX_TEAM = 5;
    /** Messages a robot may send in one step, and the characters of one. */
    public static final int MAX_MESSAGES = OperateConsole.MAX_MESSAGES;
    public static final int MAX_MESSAGE_CHARS = OperateConsole.MAX_MESSAGE_CHARS;
    /** Prints and views a robot may send with one step's orders, and the characters of a text. */
    public static final int MAX_PRINTS = DebugConsole.MAX_PRINTS;
    public static final int MAX_VIEWS = DebugConsole.MAX_VIEWS;
    public static final int MAX_TEXT_CHARS = DebugConsole.MAX_PRINT_CHARS;
    /** The characters of a reason (a load error, why a program ended). */
    public static final int MAX_REASON_CHARS = 4096;

    private static final int STRING_BYTES = 4 + 2 * Math.max(MAX_MESSAGE_CHARS, MAX_TEXT_CHARS);
    /** The largest view: a text view, its kind, show time, colour, text, size and place. */
    private static final int VIEW_BYTES = 1 + 8 + 4 + STRING_BYTES + 4 + 16;
    private static final int OUTPUT_BYTES = 4 + MAX_PRINTS * STRING_BYTES + 4
            + MAX_VIEWS * VIEW_BYTES + 8;
    /**
     * The largest step a robot can be sent, in bytes, its length word included: the world of
     * two full teams, a few plain events, every other robot's touch, and every message its
     * team (itself included) may have sent it.
     */
    public static final int MAX_STEP_BYTES = 4 + 1 + 8 + 32 + 2 * (8 + MAX_TEAM * 40) + 4
            + 16 + 2 * MAX_TEAM * 5 + MAX_TEAM * MAX_MESSAGES * (1 + 4 + STRING_BYTES);
    /** The largest orders a robot can answer with, in bytes, its length word included. */
    public static final int MAX_ORDERS_BYTES = 4 + 1 + 8 + 16 + 4
            + MAX_MESSAGES * (4 + STRING_BYTES) + OUTPUT_BYTES;
    /** The largest message on a robot's control channel (an ending with its last output). */
    public static final int MAX_CONTROL_BYTES = 4 + 1 + 1 + 4 + 2 * MAX_REASON_CHARS + 8
            + OUTPUT_BYTES;
    /** The largest message either side accepts, in bytes. */
    public static final int MAX_MESSAGE = Math.max(MAX_STEP_BYTES, MAX_ORDERS_BYTES);

    /**
     * What a robot sent breaks the exchange (a count or length over its limit, a field that
     * cannot be, a message cut short): the robot is stopped, with this as the reason.
     */
    public static final class BrokenMessage extends RuntimeException {
        private static final long serialVersionUID = 1L;

        public BrokenMessage(String message) {
            super(message);
        }
    }

    // Robot to match.
    public static final byte LOADED = 2;
    public static final byte LOAD_FAILED = 3;
    public static final byte ORDERS = 4;
    public static final byte ENDED = 5;
    // Match to robot.
    public static final byte START = 10;
    public static final byte STEP = 11;
    public static final byte END = 12;

    /** Why "execute" gets no next step. */
    public static final int END_MATCH_OVER = 0;
    public static final int END_STOPPED = 1;

    /** How a robot's program ended, as its ENDED message says. */
    public static final int ENDED_FINISHED = 0;
    public static final int ENDED_RETURNED = 1;
    public static final int ENDED_FAILED = 2;
    public static final int ENDED_STOPPED = 3;

    private static final String[] EVENT_TYPES = {Event.MATCH_BEGIN, Event.ROUND_BEGIN,
            Event.MATCH_FINISH, Event.ROUND_FINISH, Event.TICK, Event.HIT_WALL, Event.HIT_BALL};
    private static final Event[] PLAIN_EVENTS = new Event[EVENT_TYPES.length];
    private static final int HIT_ROBOT = 7;
    private static final int MESSAGE = 8;
    private static final int OTHER_EVENT = 9;

    static {
        for (int i = 0; i < EVENT_TYPES.length; i++) PLAIN_EVENTS[i] = new Event(EVENT_TYPES[i]);
    }

    private Wire() {}

    /** What stays fixed for a match, as one robot is told at the start. */
    public record Start(int robotId, long totalTimes, Court court, double ballRadius,
            double ballNegativeAcceleration, List<TeamRoster> teams) {
        int robotCount() {
            int count = 0;
            for (TeamRoster team : teams) count += team.robots().size();
            return count;
        }
    }

    public record TeamRoster(int id, int attack, String name, List<RobotRoster> robots) {}

    public record RobotRoster(int id, String name, double radius, double maxMoveVelocity,
            double maxTurnVelocity) {}

    /** A robot's orders for the step it looked at (time), with its debug output. */
    public record Orders(long time, double move, double turn, List<Message> messages,
            DebugConsole.Output output) {}

    /** A robot's program has ended: how, why, and its debug output since its last orders. */
    public record Ended(int ending, String reason, long time, DebugConsole.Output output) {}

    // ------------------------------------------------------------------ match to robot

    public static void start(Encoder out, Start start) {
        out.begin(START).putInt(start.robotId()).putLong(start.totalTimes());
        Court c = start.court();
        out.putDouble(c.getWidth()).putDouble(c.getHeight()).putDouble(c.getGoalWidth())
                .putDouble(c.getGoalDepth()).putDouble(c.getCornerWidth())
                .putDouble(c.getCornerHeight());
        out.putDouble(start.ballRadius()).putDouble(start.ballNegativeAcceleration());
        out.putInt(start.teams().size());
        for (TeamRoster team : start.teams()) {
            out.putInt(team.id()).putInt(team.attack()).putString(team.name())
                    .putInt(team.robots().size());
            for (RobotRoster r : team.robots()) {
                out.putInt(r.id()).putString(r.name()).putDouble(r.radius())
                        .putDouble(r.maxMoveVelocity()).putDouble(r.maxTurnVelocity());
            }
        }
        out.end();
    }

    public static Start start(ByteBuffer in) {
        expect(in, START);
        int robotId = in.getInt();
        long totalTimes = in.getLong();
        Court court = new Court(in.getDouble(), in.getDouble(), in.getDouble(), in.getDouble(),
                in.getDouble(), in.getDouble());
        double ballRadius = in.getDouble();
        double ballDeceleration = in.getDouble();
        List<TeamRoster> teams = new ArrayList<>();
        for (int t = in.getInt(); t > 0; t--) {
            int id = in.getInt();
            int attack = in.getInt();
            String name = string(in);
            List<RobotRoster> robots = new ArrayList<>();
            for (int r = in.getInt(); r > 0; r--) {
                robots.add(new RobotRoster(in.getInt(), string(in), in.getDouble(),
                        in.getDouble(), in.getDouble()));
            }
            teams.add(new TeamRoster(id, attack, name, List.copyOf(robots)));
        }
        return new Start(robotId, totalTimes, court, ballRadius, ballDeceleration,
                List.copyOf(teams));
    }

    /**
     * The part of a step every robot is sent alike: time, ball, scores and robots. Written
     * without a message header; step() wraps it with one robot's events.
     */
    public static void world(Encoder out, long time, Ball ball, List<Team> teams) {
        out.putLong(time).putDouble(ball.getX()).putDouble(ball.getY())
                .putDouble(ball.getHeading()).putDouble(ball.getVelocity());
        for (Team team : teams) {
            out.putDouble(team.getScore());
            for (Robot r : team.getMembers()) {
                out.putDouble(r.getX()).putDouble(r.getY()).putDouble(r.getHeading())
                        .putDouble(r.getMoveVelocity()).putDouble(r.getTurnVelocity());
            }
        }
    }

    public static void step(Encoder out, ByteBuffer world, List<Event> events) {
        out.begin(STEP).putBytes(world).putInt(events.size());
        for (Event event : events) event(out, event);
        out.end();
    }

    private static void event(Encoder out, Event event) {
        if (event instanceof HitRobotEvent hit) {
            out.putByte(HIT_ROBOT).putInt(hit.getHited());
            return;
        }
        if (event instanceof MessageReceivedEvent m) {
            out.putByte(MESSAGE).putInt(m.getSender()).putString(m.getMessage());
            return;
        }
        for (int i = 0; i < EVENT_TYPES.length; i++) {
            if (EVENT_TYPES[i].equals(event.getType())) {
                out.putByte(i);
                return;
            }
        }
        out.putByte(OTHER_EVENT).putString(event.getType());
    }

    public static Snapshot step(ByteBuffer in, Start start) {
        expect(in, STEP);
        long time = in.getLong();
        Ball ball = new Ball(start.ballRadius(), start.ballNegativeAcceleration(), in.getDouble(),
                in.getDouble(), in.getDouble(), in.getDouble());
        Team[] teams = new Team[start.teams().size()];
        for (int t = 0; t < teams.length; t++) {
            TeamRoster roster = start.teams().get(t);
            double score = in.getDouble();
            Robot[] robots = new Robot[roster.robots().size()];
            for (int i = 0; i < robots.length; i++) {
                RobotRoster r = roster.robots().get(i);
                robots[i] = new Robot(r.id(), r.name(), r.radius(), r.maxMoveVelocity(),
                        r.maxTurnVelocity(), in.getDouble(), in.getDouble(), in.getDouble(),
                        in.getDouble(), in.getDouble());
            }
            teams[t] = new Team(roster.id(), roster.attack(), roster.name(), score,
                    HostList.of(robots));
        }
        int count = in.getInt();
        Event[] events = new Event[count];
        for (int i = 0; i < count; i++) events[i] = event(in);
        return new Snapshot(time, ball, HostList.of(teams), HostList.of(events));
    }

    private static Event event(ByteBuffer in) {
        int code = in.get();
        if (code >= 0 && code < PLAIN_EVENTS.length) return PLAIN_EVENTS[code];
        if (code == HIT_ROBOT) return new HitRobotEvent(in.getInt());
        if (code == MESSAGE) return new MessageReceivedEvent(in.getInt(), string(in));
        if (code == OTHER_EVENT) return new Event(string(in));
        throw new IllegalArgumentException("unknown event code " + code);
    }

    public static void end(Encoder out, int why) {
        out.begin(END).putByte(why).end();
    }

    // ------------------------------------------------------------------ robot to match

    public static void loaded(Encoder out) {
        out.begin(LOADED).end();
    }

    public static void loadFailed(Encoder out, String error) {
        out.begin(LOAD_FAILED).putString(error).end();
    }

    public static void orders(Encoder out, long time, double move, double turn,
            List<Message> messages, DebugConsole.Output output) {
        out.begin(ORDERS).putLong(time).putDouble(move).putDouble(turn).putInt(messages.size());
        for (Message m : messages) out.putInt(m.receiver()).putString(m.text());
        output(out, output);
        out.end();
    }

    /** A robot's orders, checked against every limit: BrokenMessage if they break one. */
    public static Orders orders(ByteBuffer in) {
        try {
            expect(in, ORDERS);
            long time = in.getLong();
            double move = in.getDouble();
            double turn = in.getDouble();
            int count = count(in, MAX_MESSAGES, "message");
            List<Message> messages = count == 0 ? List.of() : new ArrayList<>(count);
            for (int i = 0; i < count; i++) {
                messages.add(new Message(in.getInt(), text(in, MAX_MESSAGE_CHARS, "a message")));
            }
            return new Orders(time, move, turn, messages, output(in));
        } catch (BufferUnderflowException e) {
            throw new BrokenMessage("the orders end early");
        }
    }

    public static void ended(Encoder out, int ending, String reason, long time,
            DebugConsole.Output output) {
        out.begin(ENDED).putByte(ending).putString(reason).putLong(time);
        output(out, output);
        out.end();
    }

    /** A robot's ending, checked like its orders. */
    public static Ended ended(ByteBuffer in) {
        try {
            expect(in, ENDED);
            int ending = in.get();
            if (ending < ENDED_FINISHED || ending > ENDED_STOPPED) {
                throw new BrokenMessage("an ending of kind " + ending);
            }
            String reason = text(in, MAX_REASON_CHARS, "a reason");
            long time = in.getLong();
            return new Ended(ending, reason, time, output(in));
        } catch (BufferUnderflowException e) {
            throw new BrokenMessage("the ending message ends early");
        }
    }

    private static void output(Encoder out, DebugConsole.Output output) {
        out.putInt(output.prints().size());
        for (String print : output.prints()) out.putString(print);
        out.putInt(output.views().size());
        for (View view : output.views()) view(out, view);
        out.putInt(output.droppedPrints()).putInt(output.droppedViews());
    }

    private static DebugConsole.Output output(ByteBuffer in) {
        int printCount = count(in, MAX_PRINTS, "print");
        List<String> prints = new ArrayList<>(printCount);
        for (int i = 0; i < printCount; i++) prints.add(text(in, MAX_TEXT_CHARS, "a print"));
        int viewCount = count(in, MAX_VIEWS, "view");
        List<View> views = new ArrayList<>(viewCount);
        for (int i = 0; i < viewCount; i++) views.add(view(in));
        int droppedPrints = count(in, Integer.MAX_VALUE, "dropped print");
        int droppedViews = count(in, Integer.MAX_VALUE, "dropped view");
        if (printCount == 0 && viewCount == 0 && droppedPrints == 0 && droppedViews == 0) {
            return DebugConsole.Output.EMPTY;
        }
        return new DebugConsole.Output(prints, views, droppedPrints, droppedViews);
    }

    private static void view(Encoder out, View view) {
        if (view instanceof LineView v) {
            head(out, 0, v).putDouble(v.getBeginX()).putDouble(v.getBeginY())
                    .putDouble(v.getEndX()).putDouble(v.getEndY());
        } else if (view instanceof TextView v) {
            String text = v.getText();
            if (text.length() > DebugConsole.MAX_PRINT_CHARS) {
                text = text.substring(0, DebugConsole.MAX_PRINT_CHARS);
            }
            head(out, 1, v).putString(text).putInt(v.getSize()).putDouble(v.getLocationX())
                    .putDouble(v.getLocationY());
        } else if (view instanceof EllipseView v) {
            head(out, 2, v).putDouble(v.getXRadius()).putDouble(v.getYRadius())
                    .putByte(v.isFill() ? 1 : 0).putDouble(v.getLocationX())
                    .putDouble(v.getLocationY());
        } else {
            RectangleView v = (RectangleView) view;
            head(out, 3, v).putDouble(v.getWidth()).putDouble(v.getHeight())
                    .putByte(v.isFill() ? 1 : 0).putDouble(v.getLocationX())
                    .putDouble(v.getLocationY());
        }
    }

    private static Encoder head(Encoder out, int kind, View view) {
        return out.putByte(kind).putLong(view.getShowTime()).putInt(view.getColor());
    }

    private static View view(ByteBuffer in) {
        int kind = in.get();
        long showTime = in.getLong();
        int color = in.getInt();
        View view;
        switch (kind) {
            case 0 -> {
                LineView v = new LineView();
                v.setBeginX(in.getDouble());
                v.setBeginY(in.getDouble());
                v.setEndX(in.getDouble());
                v.setEndY(in.getDouble());
                view = v;
            }
            case 1 -> {
                TextView v = new TextView();
                v.setText(text(in, MAX_TEXT_CHARS, "a text view"));
                v.setSize(in.getInt());
                v.setLocationX(in.getDouble());
                v.setLocationY(in.getDouble());
                view = v;
            }
            case 2 -> {
                EllipseView v = new EllipseView();
                v.setXRadius(in.getDouble());
                v.setYRadius(in.getDouble());
                v.setFill(in.get() != 0);
                v.setLocationX(in.getDouble());
                v.setLocationY(in.getDouble());
                view = v;
            }
            case 3 -> {
                RectangleView v = new RectangleView();
                v.setWidth(in.getDouble());
                v.setHeight(in.getDouble());
                v.setFill(in.get() != 0);
                v.setLocationX(in.getDouble());
                v.setLocationY(in.getDouble());
                view = v;
            }
            default -> throw new BrokenMessage("a view of unknown kind " + kind);
        }
        view.setShowTime(showTime);
        view.setColor(color);
        return view;
    }

    public static String loadFailed(ByteBuffer in) {
        try {
            expect(in, LOAD_FAILED);
            return text(in, MAX_REASON_CHARS, "a load error");
        } catch (BufferUnderflowException e) {
            throw new BrokenMessage("the load error ends early");
        }
    }

    /** The type of a received message, without taking it. */
    public static byte type(ByteBuffer in) {
        return in.get(in.position());
    }

    private static void expect(ByteBuffer in, byte type) {
        byte actual = in.get();
        if (actual != type) {
            throw new BrokenMessage("expected message " + type + " but got " + actual);
        }
    }

    /** A count from a robot, at most max. */
    private static int count(ByteBuffer in, int max, String what) {
        int count = in.getInt();
        if (count < 0) throw new BrokenMessage(what + " count " + count + " below 0");
        if (count > max) throw new BrokenMessage(what + " count " + count + " over " + max);
        return count;
    }

    /** A string from a robot, of at most max characters. */
    private static String text(ByteBuffer in, int max, String what) {
        int length = in.getInt(in.position());
        if (length > max) {
            throw new BrokenMessage(what + " of " + length + " characters over " + max);
        }
        return string(in);
    }

    static String string(ByteBuffer in) {
        int length = in.getInt();
        if (length < 0 || 2L * length > in.remaining()) {
            throw new BrokenMessage("a broken string of " + length + " characters");
        }
        char[] chars = new char[length];
        in.asCharBuffer().get(chars);
        in.position(in.position() + 2 * length);
        return new String(chars);
    }
}
