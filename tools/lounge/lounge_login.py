"""The login record that travels in the handshake URL, and the account table."""

from lounge_wire import FIELD_SEPARATOR, decode_query, parse_base36

DEFAULT_ACCOUNTS = {
    "demo": "demo1234",
    "guest": "guest123",
}

FIELD_NAMES = ("login", "password", "language", "version", "machineKey",
               "version2", "system", "speech")


# One reason for both a wrong name and a wrong password: the demo should not
# teach anybody to probe for account names.
REASON_BAD_CREDENTIALS = "Wrong login or password."
REASON_MALFORMED = "Malformed login record."


class LoginRecord:
    """What the client sent, decoded as far as it could be."""

    def __init__(self):
        self.query = ""
        self.raw = b""
        self.fields = {}
        self.numbers = {}
        self.problem = ""  # empty when the record is well formed

    def as_log(self):
        entry = {"query": self.query, "fields": self.fields, "numbers": self.numbers}
        if self.problem:
            entry["problem"] = self.problem
        return entry


def query_of(target):
    """The part of "/play?<query>" after the question mark, or None."""
    path, sep, query = target.partition("?")
    if not sep or path != "/play":
        return None
    return query


def parse_login(target):
    """Decodes the request target into a LoginRecord; never raises."""
    record = LoginRecord()
    query = query_of(target)
    if query is None:
        record.problem = "request target is not /play?<record>"
        return record
    record.query = query
    try:
        record.raw = decode_query(query)
    except ValueError as err:
        record.problem = "query is not valid: %s" % err
        return record
    parts = record.raw.split(FIELD_SEPARATOR)
    if len(parts) != len(FIELD_NAMES):
        record.problem = "%d fields instead of %d" % (len(parts), len(FIELD_NAMES))
        return record
    try:
        texts = [p.decode("utf-8") for p in parts]
    except UnicodeDecodeError:
        record.problem = "a field is not UTF-8"
        return record
    record.fields = dict(zip(FIELD_NAMES, texts))
    record.problem = _check_numbers(record)
    return record


def _check_numbers(record):
    limits = {"version": 0xFFFFFFFF, "machineKey": 0xFFFFFFFFFFFFFFFF,
              "version2": 0xFFFFFFFF, "system": 0xFFFFFFFF, "speech": 0xFFFFFFFF}
    for name, limit in limits.items():
        value = parse_base36(record.fields[name])
        if value is None:
            return "field %s is not a base-36 number: %r" % (name, record.fields[name])
        if value > limit:
            return "field %s is out of range" % name
        record.numbers[name] = value
    if record.numbers["version"] != record.numbers["version2"]:
        return "the two version fields differ"
    return ""


def login_answer(record, accounts):
    """The text of the login answer frame: "ok" or "fail <reason>"."""
    if record.problem:
        return "fail " + REASON_MALFORMED
    if accounts.get(record.fields["login"]) != record.fields["password"]:
        return "fail " + REASON_BAD_CREDENTIALS
    return "ok"


def parse_account(text):
    """"name:password" from the command line."""
    name, sep, password = text.partition(":")
    if not sep or not name:
        raise ValueError("an account is written name:password, got %r" % text)
    return name, password
