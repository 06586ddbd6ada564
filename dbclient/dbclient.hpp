#pragma once

// The program's interface to a database client library: runtime, environment, connection with
// connect properties, statements, prepared statements with binary parameters, result sets and
// error holders. The backend is picked by the host: "file:PATH" is the embedded repository; a
// networked database would add its own backend behind the same classes.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace RepositoryAccess::dbclient {

// Outcome of a call. DataTruncated: an output did not fit its buffer; its length indicator
// holds the full length. NoData: a result set has no further row.
enum class ReturnCode { Ok, SuccessWithInfo, DataTruncated, NoData, Error };

// How a buffer is to be read or filled: raw bytes, a 64-bit signed integer, UTF-8 text.
enum class HostType { Binary, Int64, Utf8 };

enum class ParameterMode { In, Out, InOut, Unknown };

// Encoding of user name and password passed to connect.
enum class StringEncoding { Ascii, Utf8 };

// The error (or warning) of the last call of its owner.
// Connect failures that a key of the key store can be at fault for, the same for every backend:
// an unknown user or a wrong password, and a key that the key store cannot give.
inline constexpr int kAuthenticationFailedCode = 414;
inline constexpr int kKeyStoreFailedCode = 416;

class ErrorHolder {
public:
    bool isSet() const { return itsCode != 0; }
    int getErrorCode() const { return itsCode; }
    const std::string& getErrorText() const { return itsText; }
    void set(int theCode, std::string theText) {
        itsCode = theCode;
        itsText = std::move(theText);
    }
    void clear() { set(0, {}); }

private:
    int itsCode = 0;
    std::string itsText;
};

// String properties of a connect call ("KEY", "DATABASENAME", "ENCRYPT", "sslKeyStore", ...).
class ConnectProperties {
public:
    // Sets or replaces one property.
    void setProperty(const std::string& theKey, const std::string& theValue);
    // The value of a property, or nullptr when it is not set.
    const std::string* getProperty(const std::string& theKey) const;

private:
    std::vector<std::pair<std::string, std::string>> itsProperties;
};

// The rows of an executed query.
class ResultSet {
public:
    virtual ~ResultSet() = default;
    // Moves to the next row: Ok, or NoData after the last one.
    virtual ReturnCode next() = 0;
    // Copies column theColumn (1-based) of the current row into theBuffer as theType; Int64 wants
    // an std::int64_t buffer. theLength receives the full length of the value (bytes; 8 for an
    // integer). Text longer than the buffer is cut (and terminated when theTerminate) and
    // answers DataTruncated.
    virtual ReturnCode getObject(int theColumn, HostType theType, void* theBuffer,
                                 std::int64_t* theLength, std::int64_t theBufferSize,
                                 bool theTerminate = true) = 0;
};

// A statement for one SQL text at a time.
class Statement {
public:
    virtual ~Statement() = default;
    // Runs theSql: Ok or SuccessWithInfo, or Error with the text in error().
    virtual ReturnCode execute(const std::string& theSql) = 0;
    // The result set of the last query, owned by the statement; nullptr when there is none.
    virtual ResultSet* getResultSet() = 0;
    ErrorHolder& error() { return itsError; }

protected:
    ErrorHolder itsError;
};

// Modes of the parameters of a prepared statement.
class ParameterMetaData {
public:
    virtual ~ParameterMetaData() = default;
    virtual int getParameterCount() const = 0;
    // Mode of parameter theIndex (1-based); Unknown for an index out of range.
    virtual ParameterMode getParameterMode(int theIndex) const = 0;
};

// A prepared statement with bound parameters.
class PreparedStatement {
public:
    virtual ~PreparedStatement() = default;
    virtual ReturnCode prepare(const std::string& theSql) = 0;
    // The parameter modes of the prepared SQL, owned by the statement; nullptr before prepare.
    virtual ParameterMetaData* getParameterMetaData() = 0;
    // Binds parameter theIndex (1-based) to theBuffer. For an input, *theLength holds the number
    // of bytes to send; for an output, theBufferSize is the room and *theLength receives the
    // full length of the value. The buffers must live until execute returns.
    virtual ReturnCode bindParameter(int theIndex, HostType theType, void* theBuffer,
                                     std::int64_t* theLength, std::int64_t theBufferSize,
                                     bool theTerminate = false) = 0;
    // Runs the statement: Ok, DataTruncated when an output was longer than its buffer (its
    // length indicator then holds the full length), or Error.
    virtual ReturnCode execute() = 0;
    // Fetches output parameter theIndex again into a buffer of theBufferSize bytes.
    virtual ReturnCode getObject(int theIndex, HostType theType, void* theBuffer,
                                 std::int64_t* theLength, std::int64_t theBufferSize,
                                 bool theTerminate = false) = 0;
    ErrorHolder& error() { return itsError; }

protected:
    ErrorHolder itsError;
};

// A connection to one database. Statements it creates are owned by it until released.
class Connection {
public:
    virtual ~Connection() = default;
    // Connects to theServerNode as theUser; with the property "KEY" set, host, user and
    // password come from the key store instead. Ok, SuccessWithInfo (warning in error()) or
    // Error (text in error()).
    virtual ReturnCode connect(const std::string& theServerNode, const std::string& theDatabase,
                               const std::string& theUser, std::string_view thePassword,
                               StringEncoding theEncoding,
                               const ConnectProperties& theProperties) = 0;
    virtual ReturnCode close() = 0;
    virtual Statement* createStatement() = 0;
    virtual PreparedStatement* createPreparedStatement() = 0;
    virtual void releaseStatement(Statement* theStatement) = 0;
    virtual void releaseStatement(PreparedStatement* theStatement) = 0;
    // Lets the calls that follow share transactions where the backend can, each call still
    // atomic on its own; a backend that cannot runs every call in its own transaction. Calls
    // of a group that was never ended may be lost with the process. endCallGroup makes the
    // group's calls durable: Ok, or Error with the text in error().
    virtual ReturnCode beginCallGroup() { return ReturnCode::Ok; }
    virtual ReturnCode endCallGroup() { return ReturnCode::Ok; }
    // Runs the repository call once for each of theFrames, in their order, as that many calls
    // one after the other would, and gives their answer frames in theAnswers. A backend on a
    // server sends them all before it waits for the first answer, so that they cost one round
    // trip instead of one each. A call that fails takes the calls after it along: Error with
    // the text in error(). NoData: the backend has no better way than one call after the other,
    // which is then the caller's to make.
    virtual ReturnCode callAll(const std::vector<std::string_view>& /*theFrames*/,
                               std::vector<std::string>& /*theAnswers*/) {
        return ReturnCode::NoData;
    }
    // True where the repository runs in another process (a server): its calls may travel on a
    // helper thread while the run goes on. The in-process repository runs on the caller's
    // thread only.
    virtual bool isRemote() const { return false; }
    ErrorHolder& error() { return itsError; }

protected:
    ErrorHolder itsError;
};

// Owns the connections created from it.
class Environment {
public:
    Environment();
    ~Environment();
    Environment(const Environment&) = delete;
    Environment& operator=(const Environment&) = delete;

    // A new, unconnected connection owned by the environment; nullptr on failure.
    Connection* createConnection();
    // Closes and frees a connection of this environment.
    void releaseConnection(Connection* theConnection);

private:
    std::vector<std::unique_ptr<Connection>> itsConnections;
};

// The process-wide client runtime.
class Runtime {
public:
    // The runtime; nullptr on failure, with a message in theErrorText (at most theErrorTextSize
    // bytes including the terminator).
    static Runtime* getRuntime(char* theErrorText, std::size_t theErrorTextSize);
    // A new environment; destroying it releases its connections.
    std::unique_ptr<Environment> createEnvironment();
};

} // namespace RepositoryAccess::dbclient
