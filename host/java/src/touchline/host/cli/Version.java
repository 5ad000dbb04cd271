package touchline.host.cli;

import picocli.CommandLine.IVersionProvider;

/** The version both command lines print: the one the build wrote into the jar's manifest. */
public final class Version implements IVersionProvider {
    @Override
    public String[] getVersion() {
        String version = Version.class.getPackage().getImplementationVersion();
        return new String[] {"${COMMAND-NAME} " + (version == null ? "(development build)" : version)};
    }
}
