-- Answers to changes, kept so that a change sent again (a retry after a lost connection) is
-- applied once and answered as the first time; and failed sign-ins per user name.

CREATE TABLE request_reply (
    user_id TEXT NOT NULL,
    key_hash TEXT NOT NULL,
    request_hash TEXT NOT NULL,
    created_at BIGINT NOT NULL,
    reply TEXT,
    PRIMARY KEY (user_id, key_hash)
)

CREATE INDEX request_reply_by_age ON request_reply (created_at)

CREATE TABLE login_failure (
    user_id TEXT NOT NULL PRIMARY KEY,
    failures INTEGER NOT NULL,
    last_failure BIGINT NOT NULL,
    locked_until BIGINT NOT NULL
)
