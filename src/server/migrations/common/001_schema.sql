-- The store of daily receipt batches and their confirmations: the tables both stores share.
-- Statements are separated by blank lines. Amounts are integers of ten-thousandths; on SQLite
-- dates are ISO texts (YYYY-MM-DD), which sort and compare as dates. Each store's own folder adds
-- what its dialect writes differently (time stamps, identity columns, the audit's triggers).

CREATE TABLE schema_version (
    version INTEGER NOT NULL PRIMARY KEY
)

CREATE TABLE code_table (
    table_nm TEXT NOT NULL,
    code TEXT NOT NULL,
    code_desc TEXT NOT NULL,
    PRIMARY KEY (table_nm, code)
)

CREATE TABLE officer (
    ofcr_id INTEGER NOT NULL PRIMARY KEY,
    ofcr_name TEXT NOT NULL
)

CREATE TABLE app_user (
    user_id TEXT NOT NULL PRIMARY KEY,
    pw_hash TEXT NOT NULL,
    user_role TEXT NOT NULL CHECK (user_role IN ('confirm', 'read')),
    ofcr_id INTEGER NOT NULL REFERENCES officer (ofcr_id),
    trp_id TEXT NOT NULL,
    trp_dstrct_id TEXT NOT NULL
)

CREATE TABLE user_session (
    token_hash TEXT NOT NULL PRIMARY KEY,
    user_id TEXT NOT NULL REFERENCES app_user (user_id) ON DELETE CASCADE,
    created_at BIGINT NOT NULL,
    last_seen BIGINT NOT NULL
)

CREATE TABLE dly_rcpt (
    dly_rcpt_nbr BIGINT NOT NULL PRIMARY KEY,
    dly_rcpt_dt DATE NOT NULL,
    trp_id TEXT NOT NULL,
    trp_dstrct_id TEXT NOT NULL,
    entr_ofcr_id INTEGER NOT NULL REFERENCES officer (ofcr_id),
    cnfrmtn_nbr TEXT,
    cnfrmtn_dt DATE,
    cnfrmtn_ofcr_id INTEGER REFERENCES officer (ofcr_id),
    dly_rcpt_cmmt_txt TEXT
)

CREATE TABLE rcpt (
    rcpt_nbr BIGINT NOT NULL PRIMARY KEY,
    dly_rcpt_nbr BIGINT NOT NULL REFERENCES dly_rcpt (dly_rcpt_nbr),
    rcpt_dt DATE NOT NULL,
    rcpt_amt BIGINT NOT NULL,
    cnfrmtn_nbr TEXT,
    iss_ofcr_id INTEGER REFERENCES officer (ofcr_id),
    entr_ofcr_id INTEGER REFERENCES officer (ofcr_id)
)

CREATE INDEX rcpt_by_batch ON rcpt (dly_rcpt_nbr, rcpt_nbr)

CREATE INDEX rcpt_by_cnfrmtn ON rcpt (cnfrmtn_nbr)

CREATE TABLE acct_rcvbl (
    acct_rcvbl_nbr BIGINT NOT NULL PRIMARY KEY,
    acct_rcvbl_ck_nbr TEXT NOT NULL,
    acct_rcvbl_typ_cd TEXT NOT NULL,
    cust_name TEXT NOT NULL,
    assmt_amt BIGINT NOT NULL,
    lte_fee_amt BIGINT NOT NULL,
    acrd_intrst_amt BIGINT NOT NULL,
    acct_rcvbl_bal_amt BIGINT NOT NULL
)

CREATE TABLE rcvbl_aplctn (
    rcpt_nbr BIGINT NOT NULL REFERENCES rcpt (rcpt_nbr),
    acct_rcvbl_nbr BIGINT NOT NULL REFERENCES acct_rcvbl (acct_rcvbl_nbr),
    pymt_apld BIGINT NOT NULL,
    PRIMARY KEY (rcpt_nbr, acct_rcvbl_nbr)
)

CREATE INDEX rcvbl_aplctn_by_acct ON rcvbl_aplctn (acct_rcvbl_nbr, rcpt_nbr)

CREATE TABLE fund (
    rcpt_nbr BIGINT NOT NULL REFERENCES rcpt (rcpt_nbr),
    fund_seq INTEGER NOT NULL,
    fund_typ_cd TEXT NOT NULL,
    fund_rfrnc_nbr TEXT,
    fund_amt BIGINT NOT NULL,
    fund_desc TEXT,
    exprtn_mo_dt TEXT,
    exprtn_dy_dt TEXT,
    exprtn_yr_dt TEXT,
    PRIMARY KEY (rcpt_nbr, fund_seq)
)

CREATE TABLE nbr_sequence (
    seq_nm TEXT NOT NULL PRIMARY KEY,
    next_val BIGINT NOT NULL
)
